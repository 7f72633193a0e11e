#include "sorting/NumericKey.h"

#include <algorithm>
#include <bit>
#include <limits>

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

// The value of a digit character, ASCII or full-width.
constexpr uint64_t DigitValue(char16_t Ch) {
  return Ch <= u'9' ? static_cast<uint64_t>(Ch - u'0') : static_cast<uint64_t>(Ch - 0xFF10);
}
constexpr bool IsMinusChar(char16_t Ch) { return Ch == u'-' || Ch == 0xFF0D; }

// The number being read: its sign, and its magnitude while it stays within the signed 64-bit
// range. Read digit by digit rather than collected and converted at its end, so that the scan
// neither copies the characters nor divides.
struct TRun {
  bool Negative = false;
  bool Fits = true;
  uint64_t Magnitude = 0;

  void Start(uint64_t Digit) {
    Fits = true;
    Magnitude = Digit;
  }
  // Magnitude * 10 + Digit, unless that passes 2^63 - 1 (2^63 for a negative number): from
  // then on the number is left out, however many digits follow.
  void Add(uint64_t Digit) {
    constexpr uint64_t Tenth = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / 10;
    if (Magnitude > Tenth || (Magnitude == Tenth && Digit > 7 + uint64_t{Negative})) Fits = false;
    if (Fits) Magnitude = Magnitude * 10 + Digit;
  }
  void Emit(TInt64DynArray& Key) const {
    // Negating in unsigned arithmetic keeps -2^63 representable.
    if (!Fits) return;
    Key.push_back(Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude));
  }
};

enum class TScanState : uint8_t { Idle, Sign, Digits };

}  // namespace

char16_t CharAt(std::u16string_view S, int32_t Index) {
  if (Index < 1 || static_cast<size_t>(Index) > S.size()) return u'\0';
  return S[static_cast<size_t>(Index) - 1];
}

void TNumberScanner::Scan(std::u16string_view Line, TInt64DynArray& Key) {
  TRun Run;
  TScanState State = TScanState::Idle;
  const size_t N = Line.size();
  for (size_t I = 0; I < N; ++I) {
    const char16_t Ch = Line[I];
    switch (State) {
      case TScanState::Idle:
        if (IsDigitChar(Ch)) {
          Run.Negative = false;
          Run.Start(DigitValue(Ch));
          State = TScanState::Digits;
        } else if (IsSignChar(Ch)) {
          Run.Negative = IsMinusChar(Ch);
          State = TScanState::Sign;
        }
        break;
      case TScanState::Sign:
        if (IsSignChar(Ch)) {
          Run.Negative = IsMinusChar(Ch);  // the later sign replaces the earlier one
        } else if (IsSpaceChar(Ch)) {
          // spaces between a sign and its digits are skipped
        } else if (IsDigitChar(Ch)) {
          Run.Start(DigitValue(Ch));
          State = TScanState::Digits;
        } else {
          State = TScanState::Idle;
        }
        break;
      case TScanState::Digits:
        if (IsDigitChar(Ch)) {
          Run.Add(DigitValue(Ch));
        } else if (IsCommaChar(Ch) && IsDigitChar(Line[I - 1])) {
          // a grouping comma directly after a digit is skipped; a second one ends the number
        } else {
          // The ending character is consumed here: a sign right after digits starts nothing.
          Run.Emit(Key);
          State = TScanState::Idle;
        }
        break;
    }
  }
  // A sign alone is no number.
  if (State == TScanState::Digits) Run.Emit(Key);
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

size_t OrderedBytes(int64_t Value, uint8_t* Out) {
  // The numbers from -64 to 175, the most frequent in text, take one byte: 0x08 to 0xF7 in
  // order. Any other takes a first byte that tells its side and length, then its distance from
  // the one-byte numbers, big-endian in as few bytes as it needs: after 0xF8 to 0xFF (1 to 8
  // bytes) above them, after 0x07 to 0x00 (1 to 8 bytes) below them, where the bytes are
  // complemented so that the farther number reads smaller.
  constexpr int64_t Lowest = -64;
  constexpr int64_t Highest = 175;
  constexpr int64_t ZeroByte = 0x48;
  if (Value >= Lowest && Value <= Highest) {
    Out[0] = static_cast<uint8_t>(Value + ZeroByte);
    return 1;
  }
  const bool Above = Value > Highest;
  const uint64_t Distance = Above ? static_cast<uint64_t>(Value) - (Highest + 1)
                                  : static_cast<uint64_t>((Lowest - 1) - Value);
  const auto Length =
      static_cast<size_t>(std::max(1, (static_cast<int>(std::bit_width(Distance)) + 7) / 8));
  Out[0] = static_cast<uint8_t>(Above ? 0xF7 + Length : 0x08 - Length);
  const uint64_t Written = Above ? Distance : ~Distance;
  for (size_t K = 0; K < Length; ++K) {
    Out[1 + K] = static_cast<uint8_t>(Written >> (8 * (Length - 1 - K)));
  }
  return 1 + Length;
}

}  // namespace StringRecordListNormalSort
