#include "strings/StringUnit.h"

#include <algorithm>
#include <climits>

#include "base/Exceptions.h"
#include "platform/Win32.h"
#include "strings/StringSearchUnit.h"

namespace StringUnit {

namespace {

uint32_t Flags = 0;

// One call of the platform's comparison; both lengths must fit its int parameters.
TCompareResult PlatformCompare(std::u16string_view S1, std::u16string_view S2) {
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
bool CutsCleanly(std::u16string_view S, size_t P) {
  if (P >= S.size()) return true;
  const char16_t Ch = S[P];
  const char16_t Lower = Ch | 0x20;
  const bool Digit = Ch >= u'0' && Ch <= u'9' && Flags != 0;
  return Ch < 0x80 && !(Lower >= u'a' && Lower <= u'z') && !Digit;
}

// The length of the longest beginning of S of at most Limit units (S being longer) that ends
// at a clean cut; Limit itself, short of a split surrogate pair, when there is none.
size_t PieceLength(std::u16string_view S, size_t Limit) {
  for (size_t P = Limit; P > 0; --P) {
    if (CutsCleanly(S, P)) return P;
  }
  const bool SplitsPair = S[Limit - 1] >= 0xD800 && S[Limit - 1] <= 0xDBFF && Limit > 1;
  return SplitsPair ? Limit - 1 : Limit;
}

}  // namespace

void SetCollationFlags(uint32_t Set) { Flags = Set; }

uint32_t CollationFlags() { return Flags; }

TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2) {
  return LocaleCompareWithin(S1, S2, static_cast<size_t>(INT_MAX));
}

TCompareResult LocaleCompareWithin(std::u16string_view S1, std::u16string_view S2, size_t Limit) {
  for (;;) {
    if (S1.size() <= Limit && S2.size() <= Limit) return PlatformCompare(S1, S2);
    // A beginning both texts share, up to a clean cut, gives both the same weights at every
    // level of the comparison: the rest alone decides.
    size_t Shared = 0;
    const size_t Common = std::min(S1.size(), S2.size());
    while (Shared < Common && S1[Shared] == S2[Shared]) ++Shared;
    while (Shared > 0 && !(CutsCleanly(S1, Shared) && CutsCleanly(S2, Shared))) --Shared;
    if (Shared > 0) {
      S1.remove_prefix(Shared);
      S2.remove_prefix(Shared);
      continue;
    }
    // Still too long: piece by piece, each cut cleanly. Pieces that compare equal leave the
    // decision to the rest; the first pieces that differ decide. That is the platform's answer
    // whenever they differ in their letters; a difference of accents or case alone in an
    // earlier piece decides here before a difference of letters in a later one.
    const size_t Piece1 = S1.size() <= Limit ? S1.size() : PieceLength(S1, Limit);
    const size_t Piece2 = S2.size() <= Limit ? S2.size() : PieceLength(S2, Limit);
    const TCompareResult Result = PlatformCompare(S1.substr(0, Piece1), S2.substr(0, Piece2));
    if (Result != crEqual) return Result;
    S1.remove_prefix(Piece1);
    S2.remove_prefix(Piece2);
  }
}

TLineBreakKind GetLineBreakKind(std::u16string_view S) {
  const size_t N = S.size();
  if (N >= 2 && S[N - 2] == u'\r' && S[N - 1] == u'\n') return lbCRLF;
  if (N >= 1 && S[N - 1] == u'\n') return lbLF;
  if (N >= 1 && S[N - 1] == u'\r') return lbCR;
  return lbNone;
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

int32_t ByteLength(std::u16string_view S) {
  int64_t Total = 0;
  for (char16_t Ch : S) Total += IsDoubleByteChar(Ch) ? 2 : 1;
  // Only a text of over a billion code units could exceed the 32-bit range; such a line
  // measures as the largest value rather than wrapping to a negative one.
  return static_cast<int32_t>(std::min<int64_t>(Total, INT32_MAX));
}

}  // namespace StringUnit
