// The part of a line the tool's -k and -t options compare: one field of the line's body.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace LineKey {

struct TKeySpec {
  uint32_t Field = 0;                 // 1-based; 0: the whole body
  std::optional<char16_t> Separator;  // absent: runs of blanks separate the fields
};

// The blanks that separate fields when no separator is given: space, tab, U+3000.
constexpr bool IsBlank(char16_t C) { return C == u' ' || C == u'\t' || C == u'\x3000'; }

// Field Spec.Field of Body, a view of it: the text between the separators around it, or with no
// separator the Field-th run of characters that are not blanks (blanks before the first field
// belong to none). Empty when Body has fewer fields; Body itself when Field is 0.
std::u16string_view FieldOf(std::u16string_view Body, const TKeySpec& Spec);

}  // namespace LineKey
