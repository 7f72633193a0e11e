#include "strings/LineScan.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace LineScan {

namespace {

template <class TUnit>
size_t Scalar(const TUnit* Units, size_t From, size_t N) noexcept {
  while (From < N && !IsBreak(Units[From])) ++From;
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

void BreakMasks(const char16_t* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
  Cr = 0;
  Lf = 0;
#if defined(__SSE2__)
  // Sixteen units a step: their comparisons packed to bytes, one bit a unit.
  const __m128i CrUnit = _mm_set1_epi16(u'\r');
  const __m128i LfUnit = _mm_set1_epi16(u'\n');
  for (size_t K = 0; K < 64; K += 16) {
    const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K));
    const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K + 8));
    const auto Bits = [&](__m128i Unit) {
      return static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(
                 _mm_packs_epi16(_mm_cmpeq_epi16(A, Unit), _mm_cmpeq_epi16(B, Unit)))))
             << K;
    };
    Cr |= Bits(CrUnit);
    Lf |= Bits(LfUnit);
  }
#else
  for (size_t K = 0; K < 64; ++K) {
    Cr |= uint64_t{Units[K] == u'\r'} << K;
    Lf |= uint64_t{Units[K] == u'\n'} << K;
  }
#endif
}

void BreakMasks(const char* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
  Cr = 0;
  Lf = 0;
#if defined(__SSE2__)
  const __m128i CrUnit = _mm_set1_epi8('\r');
  const __m128i LfUnit = _mm_set1_epi8('\n');
  for (size_t K = 0; K < 64; K += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K));
    Cr |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(V, CrUnit))))
          << K;
    Lf |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(V, LfUnit))))
          << K;
  }
#else
  for (size_t K = 0; K < 64; ++K) {
    Cr |= uint64_t{Units[K] == '\r'} << K;
    Lf |= uint64_t{Units[K] == '\n'} << K;
  }
#endif
}

}  // namespace LineScan
