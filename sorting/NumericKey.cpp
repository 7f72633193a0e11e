#include "sorting/NumericKey.h"

#include <algorithm>
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

// The half-width form of a run character. A run holds only digits and signs, whose half-width
// forms are fixed, so this replaces the platform's general width mapping here without a call
// per number.
constexpr char16_t HalfWidthOf(char16_t Ch) {
  if (Ch >= 0xFF10 && Ch <= 0xFF19) return static_cast<char16_t>(u'0' + (Ch - 0xFF10));
  if (Ch == 0xFF0B) return u'+';
  if (Ch == 0xFF0D) return u'-';
  return Ch;
}

// Converts the run as a decimal integer: an optional sign, then at least one digit, leading
// zeros allowed. False for a sign alone and for a value outside the signed 64-bit range.
bool ConvertRun(std::u16string_view Run, int64_t& Value) {
  size_t P = 0;
  bool Negative = false;
  if (P < Run.size()) {
    const char16_t First = HalfWidthOf(Run[P]);
    if (First == u'+' || First == u'-') {
      Negative = First == u'-';
      ++P;
    }
  }
  if (P == Run.size()) return false;
  // The magnitude may reach 2^63 only for a negative number.
  const uint64_t Limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + Negative;
  uint64_t Magnitude = 0;
  for (; P < Run.size(); ++P) {
    const char16_t Ch = HalfWidthOf(Run[P]);
    if (Ch < u'0' || Ch > u'9') return false;
    const auto Digit = static_cast<uint64_t>(Ch - u'0');
    if (Magnitude > (Limit - Digit) / 10) return false;
    Magnitude = Magnitude * 10 + Digit;
  }
  // Negating in unsigned arithmetic keeps -2^63 representable.
  Value = Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
  return true;
}

// Converts the run collected so far and appends its value; a run that does not convert adds
// nothing, so the later numbers of the line still count. Empties the run.
void EmitNumber(std::u16string& Run, TInt64DynArray& Key) {
  if (Run.empty()) return;
  int64_t Value;
  if (ConvertRun(Run, Value)) Key.push_back(Value);
  Run.clear();
}

enum class TScanState : uint8_t { Idle, Sign, Digits };

}  // namespace

char16_t CharAt(std::u16string_view S, int32_t Index) {
  if (Index < 1 || static_cast<size_t>(Index) > S.size()) return u'\0';
  return S[static_cast<size_t>(Index) - 1];
}

void TNumberScanner::Scan(std::u16string_view Line, TInt64DynArray& Key) {
  std::u16string& R = FRun;
  R.clear();
  TScanState State = TScanState::Idle;
  const size_t N = Line.size();
  for (size_t I = 0; I < N; ++I) {
    const char16_t Ch = Line[I];
    switch (State) {
      case TScanState::Idle:
        if (IsDigitChar(Ch)) {
          R.assign(1, Ch);
          State = TScanState::Digits;
        } else if (IsSignChar(Ch)) {
          R.assign(1, Ch);
          State = TScanState::Sign;
        }
        break;
      case TScanState::Sign:
        if (IsSignChar(Ch)) {
          R.assign(1, Ch);  // the later sign replaces the earlier one
        } else if (IsSpaceChar(Ch)) {
          // spaces between a sign and its digits are skipped
        } else if (IsDigitChar(Ch)) {
          R.push_back(Ch);
          State = TScanState::Digits;
        } else {
          R.clear();
          State = TScanState::Idle;
        }
        break;
      case TScanState::Digits:
        if (IsDigitChar(Ch)) {
          R.push_back(Ch);
        } else if (IsCommaChar(Ch) && I > 0 && IsDigitChar(Line[I - 1])) {
          // a grouping comma directly after a digit is skipped; a second one ends the number
        } else {
          // The ending character is consumed here: a sign right after digits starts nothing.
          EmitNumber(R, Key);
          State = TScanState::Idle;
        }
        break;
    }
  }
  EmitNumber(R, Key);
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
