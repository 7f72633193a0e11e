// The part of a line the tool's -k, -t and --ignore-* options compare: one field of the line's
// body, folded.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace LineKey {

// The differences a key ignores (--ignore-width, --ignore-kana, --ignore-case).
enum TFold : uint32_t { fdWidth = 1, fdKana = 2, fdCase = 4 };

struct TKeyRule {
  uint32_t Field = 0;                 // 1-based; 0: the whole body
  std::optional<char32_t> Separator;  // a character (any plane); absent: runs of blanks
  uint32_t Fold = 0;                  // TFold bits
  // Whether lines are compared by a key rather than as they are.
  bool Active() const { return Field != 0 || Fold != 0; }
};

// The blanks that separate fields when no separator is given: space, tab, U+3000.
constexpr bool IsBlank(char16_t C) { return C == u' ' || C == u'\t' || C == u'\x3000'; }

// Field Rule.Field of Body, a view of it: the text between the separators around it, or with no
// separator the Field-th run of characters that are not blanks (blanks before the first field
// belong to none). Empty when Body has fewer fields; Body itself when Field is 0.
std::u16string_view FieldOf(std::u16string_view Body, const TKeyRule& Rule);
// The same on a body all of ASCII.
std::string_view FieldOf(std::string_view AsciiBody, const TKeyRule& Rule);

// Text folded by the platform's LCMapStringW, one call for each difference in Fold:
// LCMAP_FULLWIDTH (half-width katakana, its voiced marks joined, and ASCII become full-width),
// then LCMAP_HIRAGANA (katakana becomes hiragana), then LCMAP_LOWERCASE, into Out. Throws
// SysUtils::Exception when the platform refuses. The reference for Folded.
void FoldedByPlatform(std::u16string_view Text, uint32_t Fold, std::u16string& Out);

// One fold's map of each code unit standing alone, as the platform maps it: asked once a unit
// and kept for the process, so that a line folds in one pass of look-ups.
class TFoldMap {
 public:
  // The map of Fold (not 0), made on first use; safe to use from several threads.
  static TFoldMap& Of(uint32_t Fold);

  // C folded alone, when that is one unit and does not depend on the units around C (so C
  // folds to it wherever it stands); -1 for the voiced marks, which join the kana before them,
  // for surrogates, mapped in pairs, and for a unit the platform maps to none or several.
  int32_t Alone(char16_t C) {
    uint32_t Entry = FEntries[C].load(std::memory_order_relaxed);
    if (Entry == 0) Entry = Ask(C);
    return (Entry & kOneUnit) != 0 ? static_cast<int32_t>(Entry & 0xFFFF) : -1;
  }

  // Appends Text folded: the text FoldedByPlatform gives, the units that fold alone looked up
  // and the rest (a kana with its voiced marks, a surrogate pair) folded by the platform.
  void Append(std::u16string_view Text, std::u16string& Out);

 private:
  explicit TFoldMap(uint32_t Fold) : FFold(Fold) {}
  uint32_t Ask(char16_t C);

  // An entry: 0 before the unit is first met, else kOneUnit and the unit it folds to, or
  // kNotAlone.
  static constexpr uint32_t kOneUnit = 0x10000, kNotAlone = 0x20000;
  const uint32_t FFold;
  std::array<std::atomic<uint32_t>, 0x10000> FEntries{};
};

// Text folded as FoldedByPlatform folds it, through TFoldMap.
std::u16string Folded(std::u16string_view Text, uint32_t Fold);
// The same, appended to Out.
void AppendFolded(std::u16string_view Text, uint32_t Fold, std::u16string& Out);

// Appends the key of Body: FieldOf, then Folded by Rule.Fold.
void AppendKey(std::u16string_view Body, const TKeyRule& Rule, std::u16string& Out);

}  // namespace LineKey
