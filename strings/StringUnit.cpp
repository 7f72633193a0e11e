#include "strings/StringUnit.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <iterator>

#include "base/Exceptions.h"
#include "platform/Win32.h"
#include "strings/LineScan.h"
#include "strings/StringSearchUnit.h"

namespace StringUnit {

namespace {

uint32_t AddedFlags = 0;

// One call of the platform's comparison with Flags; both lengths must fit its int parameters.
TCompareResult PlatformCompare(std::u16string_view S1, std::u16string_view S2, uint32_t Flags) {
  // Explicit lengths: embedded NULs and the lines' own breaks take part in the comparison.
  // A view may have no storage when empty; the platform still wants a valid pointer.
  static const char16_t Empty[1] = {0};
  const char16_t* P1 = S1.empty() ? Empty : S1.data();
  const char16_t* P2 = S2.empty() ? Empty : S2.data();
  switch (CompareStringW(LOCALE_USER_DEFAULT, Flags, AsWide(P1), static_cast<int>(S1.size()),
                         AsWide(P2), static_cast<int>(S2.size()))) {
    case CSTR_LESS_THAN:
      return crLess;
    case CSTR_EQUAL:
      return crEqual;
    case CSTR_GREATER_THAN:
      return crGreater;
    default:
      throw SysUtils::Exception("CompareStringWの戻り値が不正です");
  }
}

// True when a text may be cut before position P without changing how the part before and
// the part after collate: P is the end, or the unit at P is ASCII other than a letter, which
// in no locale joins the unit before it into one collation element, takes its weight from it
// or reorders with it. Where digits compare as numbers, no cut falls inside a run of them.
bool CutsCleanly(std::u16string_view S, size_t P, uint32_t Flags) {
  if (P >= S.size()) return true;
  const char16_t Ch = S[P];
  const char16_t Lower = Ch | 0x20;
  const bool Digit = Ch >= u'0' && Ch <= u'9' && Flags != 0;
  return Ch < 0x80 && !(Lower >= u'a' && Lower <= u'z') && !Digit;
}

// The length of the longest beginning of S of at most Limit units (S being longer) that ends
// at a clean cut; Limit itself, short of a split surrogate pair, when there is none.
size_t PieceLength(std::u16string_view S, size_t Limit, uint32_t Flags) {
  for (size_t P = Limit; P > 0; --P) {
    if (CutsCleanly(S, P, Flags)) return P;
  }
  const bool SplitsPair = S[Limit - 1] >= 0xD800 && S[Limit - 1] <= 0xDBFF && Limit > 1;
  return SplitsPair ? Limit - 1 : Limit;
}

TCompareResult CompareWithin(std::u16string_view S1, std::u16string_view S2, size_t Limit,
                             uint32_t Flags) {
  for (;;) {
    if (S1.size() <= Limit && S2.size() <= Limit) return PlatformCompare(S1, S2, Flags);
    // A beginning both texts share, up to a clean cut, gives both the same weights at every
    // level of the comparison: the rest alone decides.
    size_t Shared = 0;
    const size_t Common = std::min(S1.size(), S2.size());
    while (Shared < Common && S1[Shared] == S2[Shared]) ++Shared;
    while (Shared > 0 && !(CutsCleanly(S1, Shared, Flags) && CutsCleanly(S2, Shared, Flags))) {
      --Shared;
    }
    if (Shared > 0) {
      S1.remove_prefix(Shared);
      S2.remove_prefix(Shared);
      continue;
    }
    // Still too long: piece by piece, each cut cleanly. Pieces that compare equal leave the
    // decision to the rest; the first pieces that differ decide. That is the platform's answer
    // whenever they differ in their letters; a difference of accents or case alone in an
    // earlier piece decides here before a difference of letters in a later one.
    const size_t Piece1 = S1.size() <= Limit ? S1.size() : PieceLength(S1, Limit, Flags);
    const size_t Piece2 = S2.size() <= Limit ? S2.size() : PieceLength(S2, Limit, Flags);
    const TCompareResult Result =
        PlatformCompare(S1.substr(0, Piece1), S2.substr(0, Piece2), Flags);
    if (Result != crEqual) return Result;
    S1.remove_prefix(Piece1);
    S2.remove_prefix(Piece2);
  }
}

}  // namespace

void SetCollationFlags(uint32_t Set) { AddedFlags = Set; }

uint32_t CollationFlags() { return AddedFlags; }

TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2) {
  return CompareWithin(S1, S2, static_cast<size_t>(INT_MAX), AddedFlags);
}

TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2, uint32_t Flags) {
  return CompareWithin(S1, S2, static_cast<size_t>(INT_MAX), Flags);
}

TCompareResult LocaleCompareWithin(std::u16string_view S1, std::u16string_view S2, size_t Limit) {
  return CompareWithin(S1, S2, Limit, AddedFlags);
}

bool CollationKey(std::u16string_view S, uint32_t Flags, std::string& Out) {
  if (S.size() > static_cast<size_t>(INT_MAX)) return false;
  // The platform refuses a zero length; the empty text is passed NUL-terminated instead.
  static const char16_t Empty[1] = {0};
  const LPCWSTR Source = AsWide(S.empty() ? Empty : S.data());
  const int Length = S.empty() ? -1 : static_cast<int>(S.size());
  const int Needed =
      LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | Flags, Source, Length, nullptr, 0);
  if (Needed <= 0) return false;
  Out.resize(static_cast<size_t>(Needed));
  const int Written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | Flags, Source, Length,
                                   reinterpret_cast<LPWSTR>(Out.data()), Needed);
  if (Written <= 0) return false;
  Out.resize(static_cast<size_t>(Written));
  return true;
}

TLineBreakKind GetLineBreakKind(std::u16string_view S) {
  return BareLineBreakKind(LineScan::BreakOf(S));
}

TLineBreakKind BareLineBreakKind(std::u16string_view S) {
  if (S == u"\r\n") return lbCRLF;
  if (S == u"\n") return lbLF;
  if (S == u"\r") return lbCR;
  return lbNone;
}

std::u16string_view LineBreakText(TLineBreakKind Kind) {
  switch (Kind) {
    case lbCRLF:
      return u"\r\n";
    case lbCR:
      return u"\r";
    case lbLF:
      return u"\n";
    case lbNone:
      break;
  }
  return u"";
}

size_t BodyLength(std::u16string_view S) {
  return S.size() - LineBreakText(GetLineBreakKind(S)).size();
}

void RemoveLineBreak(std::u16string& S) { S.resize(BodyLength(S)); }

std::u16string WithoutLineBreak(std::u16string_view S) {
  return std::u16string(S.substr(0, BodyLength(S)));
}

std::u16string TrimRightChars(std::u16string_view S, std::u16string_view Chars) {
  size_t Keep = S.size();
  while (Keep > 0 && StringSearchUnit::CharInString(S[Keep - 1], Chars)) --Keep;
  return std::u16string(S.substr(0, Keep));
}

std::u16string ReverseString(std::u16string_view S) { return std::u16string(S.rbegin(), S.rend()); }

namespace {

// Every script's decimal digits lie in runs of ten, from 0 to 9: the first of each run
// (Unicode 15).
constexpr char32_t DigitZeros[] = {
    0x30,    0x660,   0x6F0,   0x7C0,   0x966,   0x9E6,   0xA66,   0xAE6,   0xB66,   0xBE6,
    0xC66,   0xCE6,   0xD66,   0xDE6,   0xE50,   0xED0,   0xF20,   0x1040,  0x1090,  0x17E0,
    0x1810,  0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,
    0xA8D0,  0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066,
    0x110F0, 0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0,
    0x11950, 0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8,
    0x1D7E2, 0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};

// The run of ten C lies in, or npos.
size_t DigitRunOf(char32_t C) {
  const auto* const After = std::upper_bound(std::begin(DigitZeros), std::end(DigitZeros), C);
  if (After == std::begin(DigitZeros) || C - After[-1] >= 10) return SIZE_MAX;
  return static_cast<size_t>(After - std::begin(DigitZeros)) - 1;
}

void AppendPoint(char32_t C, std::u16string& Out) {
  if (C < 0x10000) {
    Out += static_cast<char16_t>(C);
  } else {
    Out += static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
    Out += static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
  }
}

// Whether the platform's numeric comparison reads the digits of run Run as numbers: x2y before
// x10 in them. Asked of the platform once a run; an answer it cannot give (in code-point order,
// where the comparison fails) is asked again next time. Collations differ in their letters, not
// in the digits they count, so the answers hold for any of them.
bool RunCounts(size_t Run) {
  // 0: not asked yet; 1: counts; 2: does not.
  static std::atomic<uint8_t> Known[std::size(DigitZeros)];
  const uint8_t Answer = Known[Run].load(std::memory_order_relaxed);
  if (Answer != 0) return Answer == 1;
  // The y tells a number from characters the comparison ignores, which would put the shorter
  // text first.
  std::u16string Two = u"x", Ten = u"x";
  AppendPoint(DigitZeros[Run] + 2, Two);
  Two += u'y';
  AppendPoint(DigitZeros[Run] + 1, Ten);
  AppendPoint(DigitZeros[Run], Ten);
  const int Result = CompareStringW(LOCALE_USER_DEFAULT, SORT_DIGITSASNUMBERS, AsWide(Two.data()),
                                    static_cast<int>(Two.size()), AsWide(Ten.data()),
                                    static_cast<int>(Ten.size()));
  if (Result == 0) return false;
  Known[Run].store(Result == CSTR_LESS_THAN ? 1 : 2, std::memory_order_relaxed);
  return Result == CSTR_LESS_THAN;
}

}  // namespace

bool IsDecimalDigit(char32_t C) { return DigitRunOf(C) != SIZE_MAX; }

bool IsCountedDigit(char32_t C) {
  const size_t Run = DigitRunOf(C);
  return Run != SIZE_MAX && RunCounts(Run);
}

void ReadFromEnd(std::u16string& S, uint32_t Flags) {
  std::reverse(S.begin(), S.end());
  if ((Flags & SORT_DIGITSASNUMBERS) == 0) return;
  // The digits now lie backwards, a pair of surrogates low unit first: each run is turned back.
  const auto DigitAt = [&S](size_t I) -> size_t {
    if (S[I] >= 0xDC00 && S[I] < 0xE000 && I + 1 < S.size() && S[I + 1] >= 0xD800 &&
        S[I + 1] < 0xDC00) {
      const char32_t C = 0x10000 + ((S[I + 1] - 0xD800u) << 10) + (S[I] - 0xDC00u);
      return IsCountedDigit(C) ? 2 : 0;
    }
    return IsCountedDigit(S[I]) ? 1 : 0;
  };
  for (size_t I = 0; I < S.size();) {
    size_t End = I;
    while (End < S.size()) {
      const size_t Units = DigitAt(End);
      if (Units == 0) break;
      End += Units;
    }
    if (End - I > 1)
      std::reverse(S.begin() + static_cast<ptrdiff_t>(I), S.begin() + static_cast<ptrdiff_t>(End));
    I = End > I ? End : I + 1;
  }
}

int32_t ByteLength(std::u16string_view S) {
  int64_t Total = 0;
  for (char16_t Ch : S) Total += IsDoubleByteChar(Ch) ? 2 : 1;
  // Only a text of over a billion code units could exceed the 32-bit range; such a line
  // measures as the largest value rather than wrapping to a negative one.
  return static_cast<int32_t>(std::min<int64_t>(Total, INT32_MAX));
}

}  // namespace StringUnit
