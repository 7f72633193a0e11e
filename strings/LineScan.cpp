#include "strings/LineScan.h"

#include <bit>

#include "base/Simd.h"

#if TARNWICK_SSE2
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

#if TARNWICK_SSE2

namespace {

TARNWICK_SSE2_FORM size_t FindBreakSse2(const char16_t* Units, size_t From, size_t N) noexcept {
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
  return Scalar(Units, From, N);
}

TARNWICK_SSE2_FORM size_t FindBreakSse2(const char* Units, size_t From, size_t N) noexcept {
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
  return Scalar(Units, From, N);
}

// The bits of sixteen units, one a unit, that equal Unit.
TARNWICK_SSE2_FUNCTION inline uint64_t Bits(__m128i A, __m128i B, __m128i Unit) noexcept {
  return static_cast<uint16_t>(
      _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(A, Unit), _mm_cmpeq_epi16(B, Unit))));
}

TARNWICK_SSE2_FORM void BreakMasksSse2(const char16_t* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
  // Sixteen units a step: their comparisons packed to bytes, one bit a unit.
  const __m128i CrUnit = _mm_set1_epi16(u'\r');
  const __m128i LfUnit = _mm_set1_epi16(u'\n');
  uint64_t CrBits = 0;
  uint64_t LfBits = 0;
  for (size_t K = 0; K < 64; K += 16) {
    const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K));
    const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K + 8));
    CrBits |= Bits(A, B, CrUnit) << K;
    LfBits |= Bits(A, B, LfUnit) << K;
  }
  Cr = CrBits;
  Lf = LfBits;
}

TARNWICK_SSE2_FORM void BreakMasksSse2(const char* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
  const __m128i CrUnit = _mm_set1_epi8('\r');
  const __m128i LfUnit = _mm_set1_epi8('\n');
  uint64_t CrBits = 0;
  uint64_t LfBits = 0;
  for (size_t K = 0; K < 64; K += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + K));
    CrBits |=
        static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(V, CrUnit))))
        << K;
    LfBits |=
        static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(V, LfUnit))))
        << K;
  }
  Cr = CrBits;
  Lf = LfBits;
}

}  // namespace

#endif

namespace {

template <class TUnit>
void BreakMasksPlain(const TUnit* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
  Cr = 0;
  Lf = 0;
  for (size_t K = 0; K < 64; ++K) {
    Cr |= uint64_t{Units[K] == TUnit('\r')} << K;
    Lf |= uint64_t{Units[K] == TUnit('\n')} << K;
  }
}

}  // namespace

size_t FindBreak(const char16_t* Units, size_t From, size_t N) noexcept {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return FindBreakSse2(Units, From, N);
#endif
  return FindBreakScalar(Units, From, N);
}

size_t FindBreak(const char* Units, size_t From, size_t N) noexcept {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return FindBreakSse2(Units, From, N);
#endif
  return FindBreakScalar(Units, From, N);
}

void BreakMasks(const char16_t* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return BreakMasksSse2(Units, Cr, Lf);
#endif
  BreakMasksPlain(Units, Cr, Lf);
}

void BreakMasks(const char* Units, uint64_t& Cr, uint64_t& Lf) noexcept {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return BreakMasksSse2(Units, Cr, Lf);
#endif
  BreakMasksPlain(Units, Cr, Lf);
}

}  // namespace LineScan
