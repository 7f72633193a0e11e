// The part of a line the tool's -k and -t options compare: one field of the line's body.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace LineKey {

// The differences a key ignores (--ignore-width, --ignore-kana, --ignore-case).
enum TFold : uint32_t { fdWidth = 1, fdKana = 2, fdCase = 4 };

struct TKeyRule {
  uint32_t Field = 0;                 // 1-based; 0: the whole body
  std::optional<char16_t> Separator;  // absent: runs of blanks separate the fields
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

// Text folded by the platform's LCMapStringW, one call for each difference in Fold:
// LCMAP_FULLWIDTH (half-width katakana, its voiced marks joined, and ASCII become full-width),
// then LCMAP_HIRAGANA (katakana becomes hiragana), then LCMAP_LOWERCASE. Throws
// SysUtils::Exception when the platform refuses.
std::u16string Folded(std::u16string_view Text, uint32_t Fold);
// The same, appended to Out.
void AppendFolded(std::u16string_view Text, uint32_t Fold, std::u16string& Out);

// Appends the key of Body: FieldOf, then Folded by Rule.Fold.
void AppendKey(std::u16string_view Body, const TKeyRule& Rule, std::u16string& Out);

}  // namespace LineKey
