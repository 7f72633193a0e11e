#include "strings/Utf8.h"

#include <cstdint>
#include <cstring>

#include "base/Simd.h"

#if TARNWICK_SSE2
#include <emmintrin.h>
#endif

namespace Utf8 {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;  // eight bytes >= 0x80

#if TARNWICK_SSE2
// Where the run of ASCII from p[i] on stops being sixteen bytes at a time.
TARNWICK_SSE2_FORM size_t SkipAsciiSse2(const uint8_t* p, size_t i, size_t n) noexcept {
  while (i + 16 <= n &&
         _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0)
    i += 16;
  return i;
}

// Eight bytes at P widened to Out when they are all ASCII; false, and nothing written, if not.
TARNWICK_SSE2_FUNCTION inline bool WidenEightSse2(const unsigned char* P, char16_t* Out) noexcept {
  const __m128i Eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(P));
  if (_mm_movemask_epi8(Eight) != 0) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm_unpacklo_epi8(Eight, _mm_setzero_si128()));
  return true;
}
#endif

// DecodeWellFormed, with eight ASCII bytes widened at once in the SSE2 form (Vector).
template <bool Vector>
[[gnu::always_inline]] inline size_t DecodeWellFormedIn(std::string_view Bytes, char16_t* Out) {
  // Lines of a checked text are decoded here a few dozen bytes at a time, two or three times
  // each during a sort: a converter's cost per call outweighs the work on such short input.
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  const auto* const End = P + Bytes.size();
  size_t O = 0;
  while (P < End) {
    const unsigned Lead = *P;
    if (Lead < 0x80) {
#if TARNWICK_SSE2
      // Most lines are mostly ASCII: eight bytes that are all ASCII are widened at once.
      if constexpr (Vector) {
        if (End - P >= 8 && WidenEightSse2(P, Out + O)) {
          O += 8;
          P += 8;
          continue;
        }
      }
#endif
      Out[O++] = static_cast<char16_t>(Lead);
      P += 1;
    } else if (Lead < 0xE0) {
      Out[O++] = static_cast<char16_t>((Lead & 0x1F) << 6 | (P[1] & 0x3F));
      P += 2;
    } else if (Lead < 0xF0) {
      Out[O++] = static_cast<char16_t>((Lead & 0x0F) << 12 | (P[1] & 0x3F) << 6 | (P[2] & 0x3F));
      P += 3;
    } else {
      const uint32_t Point =
          ((Lead & 0x07) << 18 | (P[1] & 0x3F) << 12 | (P[2] & 0x3F) << 6 | (P[3] & 0x3F)) -
          0x10000;
      Out[O++] = static_cast<char16_t>(0xD800 + (Point >> 10));
      Out[O++] = static_cast<char16_t>(0xDC00 + (Point & 0x3FF));
      P += 4;
    }
  }
  return O;
}

#if TARNWICK_SSE2
TARNWICK_SSE2_FORM size_t DecodeWellFormedSse2(std::string_view Bytes, char16_t* Out) {
  return DecodeWellFormedIn<true>(Bytes, Out);
}
#endif

}  // namespace

size_t FirstInvalid(std::string_view Bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(Bytes.data());
  const size_t n = Bytes.size();
  size_t i = 0;
  while (i < n) {
    // ASCII, which most texts are mostly made of, sixteen bytes at a time.
#if TARNWICK_SSE2
    if (Simd::UseSse2()) i = SkipAsciiSse2(p, i, n);
#endif
    for (uint64_t word; i + 8 <= n; i += 8) {
      std::memcpy(&word, p + i, 8);
      if ((word & kHighBits) != 0) break;
    }
    // Then a character at a time while characters follow each other without a long ASCII
    // run (Japanese text is mostly three-byte characters back to back).
    for (;;) {
      if (i == n) return std::string_view::npos;
      const uint8_t b = p[i];
      if (b < 0x80) {
        ++i;
        uint64_t word;
        if (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & kHighBits) == 0)) break;
        continue;
      }
      size_t len;
      uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
      if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
      } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
      } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
      } else {
        return i;
      }
      if (i + 1 >= n || p[i + 1] < lo || p[i + 1] > hi) return i;
      for (size_t k = 2; k < len; ++k)
        if (i + k >= n || p[i + k] < 0x80 || p[i + k] > 0xBF) return i;
      i += len;
    }
  }
  return std::string_view::npos;
}

bool IsAscii(std::string_view Bytes) {
  unsigned char Any = 0;
  for (const char C : Bytes) Any |= static_cast<unsigned char>(C);
  return Any < 0x80;
}

size_t DecodeWellFormed(std::string_view Bytes, char16_t* Out) {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return DecodeWellFormedSse2(Bytes, Out);
#endif
  return DecodeWellFormedIn<false>(Bytes, Out);
}

std::u16string_view DecodeWellFormed(std::string_view Bytes, std::u16string& Scratch) {
  Scratch.resize(Bytes.size());  // no text has more code units than bytes
  Scratch.resize(DecodeWellFormed(Bytes, Scratch.data()));
  return Scratch;
}

std::u16string DecodeReplacing(std::string_view Bytes) {
  std::u16string Result(Bytes.size(), u'\0');
  size_t O = 0;
  while (!Bytes.empty()) {
    const size_t Bad = FirstInvalid(Bytes);
    const size_t Good = Bad == std::string_view::npos ? Bytes.size() : Bad;
    O += DecodeWellFormed(Bytes.substr(0, Good), Result.data() + O);
    if (Good == Bytes.size()) break;
    Result[O++] = u'\uFFFD';
    Bytes.remove_prefix(Good + 1);
  }
  Result.resize(O);
  return Result;
}

}  // namespace Utf8
