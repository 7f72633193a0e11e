#include "strings/LineScan.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace LineScan {

namespace {

template <class TUnit>
size_t Scalar(const TUnit* Units, size_t From, size_t N) noexcept {
  while (From < N && Units[From] != TUnit('\r') && Units[From] != TUnit('\n')) ++From;
  return From;
}

}  // namespace

size_t FindBreakScalar(const char16_t* Units, size_t From, size_t N) noexcept {
  return Scalar(Units, From, N);
}

size_t FindBreakScalar(const char* Units, size_t From, size_t N) noexcept {
  return Scalar(Units, From, N);
}

size_t FindBreak(const char16_t* Units, size_t From, size_t N) noexcept {
#if defined(__SSE2__)
  // Eight code units per step: every unit of the text is read, and most lines are a few dozen
  // units long. The tail shorter than a vector goes through the plain loop.
  const __m128i Cr = _mm_set1_epi16(u'\r');
  const __m128i Lf = _mm_set1_epi16(u'\n');
  for (; From + 8 <= N; From += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + From));
    const int Mask =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(V, Cr), _mm_cmpeq_epi16(V, Lf)));
    if (Mask != 0) {
      return From + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(Mask))) / 2;
    }
  }
#endif
  return FindBreakScalar(Units, From, N);
}

size_t FindBreak(const char* Units, size_t From, size_t N) noexcept {
#if defined(__SSE2__)
  // Sixteen bytes per step, as above.
  const __m128i Cr = _mm_set1_epi8('\r');
  const __m128i Lf = _mm_set1_epi8('\n');
  for (; From + 16 <= N; From += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + From));
    const int Mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(V, Cr), _mm_cmpeq_epi8(V, Lf)));
    if (Mask != 0) {
      return From + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(Mask)));
    }
  }
#endif
  return FindBreakScalar(Units, From, N);
}

}  // namespace LineScan
