#include "strings/StringUnit.h"

#include <algorithm>
#include <climits>

#include "base/Exceptions.h"
#include "platform/Win32.h"
#include "strings/StringSearchUnit.h"

namespace StringUnit {

TCompareResult LocaleCompare(std::u16string_view S1, std::u16string_view S2) {
  // Explicit lengths: embedded NULs and the lines' own breaks take part in the comparison.
  // A view may have no storage when empty; the platform still wants a valid pointer.
  static const char16_t Empty[1] = {0};
  const char16_t* P1 = S1.empty() ? Empty : S1.data();
  const char16_t* P2 = S2.empty() ? Empty : S2.data();
  switch (CompareStringW(LOCALE_USER_DEFAULT, 0, AsWide(P1), static_cast<int>(S1.size()),
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
