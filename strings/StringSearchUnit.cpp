#include "strings/StringSearchUnit.h"

#include <algorithm>

#include "strings/MathUnit.h"

namespace StringSearchUnit {

bool CharInString(char16_t Ch, std::u16string_view Chars) {
  return Chars.find(Ch) != std::u16string_view::npos;
}

bool IsSubStringAt(std::u16string_view SubStr, std::u16string_view S, int32_t Index) {
  if (SubStr.empty() || S.empty()) return false;
  const auto SubLen = static_cast<int64_t>(SubStr.size());
  const auto Len = static_cast<int64_t>(S.size());
  if (Index < 1 || Index > Len - SubLen + 1) return false;
  return S.compare(static_cast<size_t>(Index - 1), SubStr.size(), SubStr) == 0;
}

std::u16string CopyRange(std::u16string_view S, int32_t From, int32_t To) {
  const int64_t Start = std::max<int64_t>(From, 1);
  const int64_t End = std::min<int64_t>(To, static_cast<int64_t>(S.size()));
  if (End < Start) return {};
  return std::u16string(
      S.substr(static_cast<size_t>(Start - 1), static_cast<size_t>(End - Start + 1)));
}

std::u16string RemoveSuffix(std::u16string_view S, std::u16string_view Suffix) {
  const auto Index = static_cast<int64_t>(S.size()) - static_cast<int64_t>(Suffix.size()) + 1;
  if (Index >= 1 && IsSubStringAt(Suffix, S, static_cast<int32_t>(Index))) {
    S.remove_suffix(Suffix.size());
  }
  return std::u16string(S);
}

}  // namespace StringSearchUnit
