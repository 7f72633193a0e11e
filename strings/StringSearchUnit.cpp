#include "strings/StringSearchUnit.h"

#include <algorithm>
#include <bit>

#include "base/Simd.h"

#if TARNWICK_SSE2
#include <emmintrin.h>
#endif

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

namespace {

// The first place of Unit in S from From on, or npos.
size_t FindUnitFrom(std::u16string_view S, char16_t Unit, size_t From) noexcept {
  const size_t Found = S.substr(From).find(Unit);
  return Found == std::u16string_view::npos ? Found : From + Found;
}

#if TARNWICK_SSE2
TARNWICK_SSE2_FORM size_t FindUnitSse2(std::u16string_view S, char16_t Unit) noexcept {
  size_t From = 0;
  const __m128i Wanted = _mm_set1_epi16(static_cast<short>(Unit));
  for (; From + 8 <= S.size(); From += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S.data() + From));
    const int Mask = _mm_movemask_epi8(_mm_cmpeq_epi16(V, Wanted));
    if (Mask != 0)
      return From + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(Mask))) / 2;
  }
  return FindUnitFrom(S, Unit, From);
}
#endif

}  // namespace

size_t FindUnit(std::u16string_view S, char16_t Unit) noexcept {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return FindUnitSse2(S, Unit);
#endif
  return FindUnitFrom(S, Unit, 0);
}

std::u16string RemoveSuffix(std::u16string_view S, std::u16string_view Suffix) {
  const auto Index = static_cast<int64_t>(S.size()) - static_cast<int64_t>(Suffix.size()) + 1;
  if (Index >= 1 && IsSubStringAt(Suffix, S, static_cast<int32_t>(Index))) {
    S.remove_suffix(Suffix.size());
  }
  return std::u16string(S);
}

}  // namespace StringSearchUnit
