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

// Text folded by Fold as a whole, into Out: the folds' definition, and the reference for
// Folded. Under fdWidth or fdKana the text is first put in canonical composition (NFC, the
// platform's NormalizeString), so that canonically equivalent texts fold alike (カ with U+3099
// and ガ); then each character is mapped:
// - fdWidth: to its <wide> or <narrow> compatibility form (FoldTables::kWidthForms): Ａ and １
//   to A and 1, U+3000 to a space, ￥ to ¥, ｶ to カ, half-width Hangul to its full-width
//   jamo; a half-width voiced or semi-voiced mark to the combining mark where the character
//   before it composes with that (ｶﾞ, ﾜﾞ, ヽﾞ become ガ, ヷ, ヾ), else to the spacing ゛ or ゜;
// - fdKana: each katakana to its hiragana (ヴ to ゔ, ヽ to ゝ, ヵ to ゕ), and ヷ ヸ ヹ ヺ to
//   わ ゐ ゑ を with U+3099, as no hiragana letter holds the mark; half-width katakana (the
//   width fold's), ㇰ..ㇿ and ヿ, which have no hiragana, stay;
// - fdCase: to the capital of its simple case folding (FoldTables::kCaseFolds), as sort -f
//   folds to capitals: a and A to A, k, K and U+212A (Kelvin) to K, ß and ẞ to ß;
// and under fdWidth or fdKana the result is put in canonical composition again. Throws
// SysUtils::Exception when the platform refuses the text.
void FoldedPlainly(std::u16string_view Text, uint32_t Fold, std::u16string& Out);

// One fold's map of each code unit standing alone: worked out once a unit, on first meeting
// it, and kept for the process, so that a line folds in one pass of look-ups.
class TFoldMap {
 public:
  // The map of Fold (not 0), made on first use; safe to use from several threads.
  static TFoldMap& Of(uint32_t Fold);

  // C folded alone, when that is one unit and C folds to it wherever it stands; -1 for a unit
  // that joins the one before it (a combining mark under fdWidth or fdKana, a half-width voiced
  // mark under fdWidth, a surrogate) and for one that folds to several units.
  int32_t Alone(char16_t C) {
    const uint32_t Entry = EntryOf(C);
    return (Entry & kOneUnit) != 0 ? static_cast<int32_t>(Entry & 0xFFFF) : -1;
  }

  // Appends Text folded: the text FoldedPlainly gives, the units that fold alone looked up
  // and each of the rest folded by FoldedPlainly with the units that join it.
  void Append(std::u16string_view Text, std::u16string& Out);

 private:
  explicit TFoldMap(uint32_t Fold) : FFold(Fold) {}
  uint32_t EntryOf(char16_t C) {
    const uint32_t Entry = FEntries[C].load(std::memory_order_relaxed);
    return Entry != 0 ? Entry : Ask(C);
  }
  uint32_t Ask(char16_t C);

  // An entry: 0 before the unit is first met, else kOneUnit and the unit it folds to, kJoins
  // or kSeveral.
  static constexpr uint32_t kOneUnit = 0x10000, kJoins = 0x20000, kSeveral = 0x40000;
  const uint32_t FFold;
  std::array<std::atomic<uint32_t>, 0x10000> FEntries{};
};

// Text folded as FoldedPlainly folds it, through TFoldMap.
std::u16string Folded(std::u16string_view Text, uint32_t Fold);
// The same, appended to Out.
void AppendFolded(std::u16string_view Text, uint32_t Fold, std::u16string& Out);

// Appends the key of Body: FieldOf, then Folded by Rule.Fold.
void AppendKey(std::u16string_view Body, const TKeyRule& Rule, std::u16string& Out);

}  // namespace LineKey
