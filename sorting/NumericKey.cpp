#include "sorting/NumericKey.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "base/Simd.h"

#if TARNWICK_SSE2
#include <emmintrin.h>
#endif

namespace StringRecordListNormalSort {

namespace {

// The scan's four character sets, as ranges: they are disjoint and hold exactly
//   digits  0-9 and U+FF10..U+FF19 (full-width)
//   signs   + - and U+FF0B, U+FF0D (full-width)
//   commas  , and U+FF0C (full-width)
//   spaces  space, U+3000 (ideographic space), tab.
// Range tests instead of searching the set strings: the scan looks at every character of
// every line of a sort.
constexpr bool IsDigitChar(char16_t Ch) {
  return (Ch >= u'0' && Ch <= u'9') || (Ch >= 0xFF10 && Ch <= 0xFF19);
}
constexpr bool IsSignChar(char16_t Ch) {
  return Ch == u'+' || Ch == u'-' || Ch == 0xFF0B || Ch == 0xFF0D;
}
constexpr bool IsCommaChar(char16_t Ch) { return Ch == u',' || Ch == 0xFF0C; }
constexpr bool IsSpaceChar(char16_t Ch) { return Ch == u' ' || Ch == 0x3000 || Ch == u'\t'; }
// A digit or a sign: the full-width ones are the ASCII ones moved by 0xFEE0, and the ASCII
// ones lie below 64, so one mask tests both.
constexpr bool MayStartNumber(char16_t Ch) {
  constexpr uint64_t Starts = uint64_t{0x3FF} << u'0' | uint64_t{1} << u'+' | uint64_t{1} << u'-';
  const unsigned Ascii = Ch >= 0xFF00 ? Ch - 0xFEE0u : Ch;
  return Ascii < 64 && (Starts >> Ascii & 1) != 0;
}

#if TARNWICK_SSE2
// The first index from From on whose unit may start a number, or an index less than eight
// units before N from which the caller reads on one unit at a time. Most units of a line start
// nothing, so eight of them are passed at a time while none lies in 0x2B..0x39 or
// 0xFF0B..0xFF19, the ranges that hold every digit and sign; the caller's exact test decides
// on the units of those ranges that are neither.
TARNWICK_SSE2_FUNCTION inline size_t SkipNonStartsSse2(const char16_t* Units, size_t From,
                                                       size_t N) {
  const __m128i AsciiFirst = _mm_set1_epi16(0x2B);
  const __m128i WideFirst = _mm_set1_epi16(static_cast<short>(0xFF0B));
  const __m128i Width = _mm_set1_epi16(0x39 - 0x2B);
  const __m128i Zero = _mm_setzero_si128();
  for (; From + 8 <= N; From += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + From));
    // A unit lies in a range when its distance above the range's first unit (wrapping below
    // it) is at most Width: the saturating subtraction leaves zero exactly then.
    const __m128i InAscii =
        _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(V, AsciiFirst), Width), Zero);
    const __m128i InWide =
        _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(V, WideFirst), Width), Zero);
    const int Mask = _mm_movemask_epi8(_mm_or_si128(InAscii, InWide));
    if (Mask != 0) {
      return From + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(Mask))) / 2;
    }
  }
  return From;
}
#endif

// The value of a digit character, ASCII or full-width; 10 or more for any other character.
// One subtraction and one comparison tell an ASCII digit, the units most often read in a number.
constexpr unsigned DigitOf(char16_t Ch) {
  const unsigned Ascii = Ch - 0x30u;
  return Ascii <= 9 ? Ascii : Ch - 0xFF10u;
}
constexpr bool IsMinusChar(char16_t Ch) { return Ch == u'-' || Ch == 0xFF0D; }

// The number being read: its sign, and its magnitude while it stays within the signed 64-bit
// range. Read digit by digit rather than collected and converted at its end, so that the scan
// neither copies the characters nor divides.
struct TRun {
  // Marks a number that has left the range: no magnitude reaches it, and Add keeps it.
  static constexpr uint64_t Outside = std::numeric_limits<uint64_t>::max();
  static constexpr uint64_t Tenth = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / 10;

  bool Negative = false;
  uint64_t Magnitude = 0;

  // Magnitude * 10 + Digit, unless that passes 2^63 - 1 (2^63 for a negative number): from
  // then on the number is left out, however many digits follow.
  void Add(unsigned Digit) {
    // Below a tenth of the limit any digit fits; only the nineteenth significant digit and
    // later ones need the exact test.
    if (Magnitude < Tenth) {
      Magnitude = Magnitude * 10 + Digit;
    } else if (Magnitude == Tenth && Digit <= 7 + unsigned{Negative}) {
      Magnitude = Magnitude * 10 + Digit;
    } else {
      Magnitude = Outside;
    }
  }
  void Emit(TInt64DynArray& Key) const {
    if (Magnitude == Outside) return;
    // Negating in unsigned arithmetic keeps -2^63 representable.
    Key.push_back(Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude));
  }
};

// The numbers of Line appended to Key, with eight units that start nothing passed at a time in
// the SSE2 form (Vector).
template <bool Vector>
[[gnu::always_inline]] inline void ScanLine(std::u16string_view Line, TInt64DynArray& Key) {
  // The three states of the scan (outside a number, after a sign, in the digits) as three
  // loops, each ending on the character that leaves its state, which it consumes.
  TRun Run;
  const size_t N = Line.size();
  size_t I = 0;
  while (I < N) {
    char16_t Ch = Line[I++];
    if (!MayStartNumber(Ch)) {
      // Numbers often follow the unit that ends the one before, so the blocks are tried only
      // after a unit that starts nothing.
#if TARNWICK_SSE2
      if constexpr (Vector) I = SkipNonStartsSse2(Line.data(), I, N);
#endif
      continue;
    }
    Run.Negative = false;
    if (IsSignChar(Ch)) {
      // Later signs replace earlier ones, and spaces between a sign and its digits are
      // skipped; a sign alone is no number.
      do {
        if (IsSignChar(Ch)) Run.Negative = IsMinusChar(Ch);
        if (I == N) return;
        Ch = Line[I++];
      } while (IsSignChar(Ch) || IsSpaceChar(Ch));
      if (!IsDigitChar(Ch)) continue;
    }
    Run.Magnitude = DigitOf(Ch);
    for (; I < N; ++I) {
      Ch = Line[I];
      if (const unsigned Digit = DigitOf(Ch); Digit <= 9) {
        Run.Add(Digit);
      } else if (!IsCommaChar(Ch) || !IsDigitChar(Line[I - 1])) {
        // A grouping comma directly after a digit is skipped, a second one ends the number;
        // the ending character is consumed, so a sign right after digits starts nothing.
        ++I;
        break;
      }
    }
    Run.Emit(Key);
  }
}

#if TARNWICK_SSE2
TARNWICK_SSE2_FORM void ScanLineSse2(std::u16string_view Line, TInt64DynArray& Key) {
  ScanLine<true>(Line, Key);
}
#endif

}  // namespace

char16_t CharAt(std::u16string_view S, int32_t Index) {
  if (Index < 1 || static_cast<size_t>(Index) > S.size()) return u'\0';
  return S[static_cast<size_t>(Index) - 1];
}

void TNumberScanner::Scan(std::u16string_view Line, TInt64DynArray& Key) {
#if TARNWICK_SSE2
  if (Simd::UseSse2()) return ScanLineSse2(Line, Key);
#endif
  ScanLine<false>(Line, Key);
}

TInt64DynArray ExtractNumbers(std::u16string_view Line) {
  TInt64DynArray Key;
  TNumberScanner().Scan(Line, Key);
  return Key;
}

int32_t CompareNumberKeys(std::span<const int64_t> K1, std::span<const int64_t> K2) {
  const size_t N = std::min(K1.size(), K2.size());
  for (size_t I = 0; I < N; ++I) {
    if (K1[I] < K2[I]) return -1;
    if (K1[I] > K2[I]) return 1;
  }
  if (K1.size() < K2.size()) return -1;
  if (K1.size() > K2.size()) return 1;
  return 0;
}

}  // namespace StringRecordListNormalSort

namespace KeyedSort {

size_t OrderedBytes(int64_t Value, uint8_t* Out) {
  // The numbers from -63 to 175, the most frequent in text, take one byte: 0x09 to 0xF7 in
  // order. Any other takes a first byte that tells its side and length, then its distance from
  // the one-byte numbers in base 255, most significant digit first, as many digits as it needs:
  // after 0xF8 to 0xFF (1 to 8 digits) above them, digit D written as D + 1; after 0x08 to 0x01
  // (1 to 8 digits) below them, digit D written as 255 - D, so that the farther number reads
  // smaller. No byte is zero, so a key's end shows in bytes read past it as zeros.
  constexpr int64_t Lowest = -63;
  constexpr int64_t Highest = 175;
  constexpr int64_t ZeroByte = 0x48;
  if (Value >= Lowest && Value <= Highest) {
    Out[0] = static_cast<uint8_t>(Value + ZeroByte);
    return 1;
  }
  const bool Above = Value > Highest;
  uint64_t Distance = Above ? static_cast<uint64_t>(Value) - (Highest + 1)
                            : static_cast<uint64_t>((Lowest - 1) - Value);
  uint8_t Digits[8];  // least significant first; 255^8 exceeds any distance
  size_t Length = 0;
  do {
    Digits[Length++] = static_cast<uint8_t>(Distance % 255);
    Distance /= 255;
  } while (Distance != 0);
  Out[0] = static_cast<uint8_t>(Above ? 0xF7 + Length : 0x09 - Length);
  for (size_t K = 0; K < Length; ++K) {
    const uint8_t Digit = Digits[Length - 1 - K];
    Out[1 + K] = static_cast<uint8_t>(Above ? Digit + 1 : 255 - Digit);
  }
  return 1 + Length;
}

}  // namespace KeyedSort
