// Position-based substring helpers. Positions are 1-based and count UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace StringSearchUnit {

// True when Ch occurs anywhere in Chars.
bool CharInString(char16_t Ch, std::u16string_view Chars);

// True when SubStr occurs in S starting exactly at position Index (exact code units); False for
// an empty SubStr or S, or an Index that leaves no room for SubStr.
bool IsSubStringAt(std::u16string_view SubStr, std::u16string_view S, int32_t Index);

// Characters From..To of S, inclusive; From below 1 reads as 1, To past the end as the end.
std::u16string CopyRange(std::u16string_view S, int32_t From, int32_t To);

// The index of the first Unit in S, or std::u16string_view::npos: S.find(Unit), eight units at
// a time where the processor allows, for texts of a whole document.
size_t FindUnit(std::u16string_view S, char16_t Unit) noexcept;

// S without its trailing Suffix when it ends with a non-empty Suffix; otherwise S.
std::u16string RemoveSuffix(std::u16string_view S, std::u16string_view Suffix);

}  // namespace StringSearchUnit
