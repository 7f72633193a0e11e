#include "strings/StringConvertUnit.h"

#include "platform/Win32.h"

namespace StringConvertUnit {

std::u16string ToHalfWidth(const std::u16string& S) {
  // Ask the size first (NUL included), then map S with its terminator into a buffer of that
  // size: the platform may change the length, so the result is sized by its answer.
  const int N =
      LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_HALFWIDTH, AsWide(S.c_str()), -1, nullptr, 0);
  if (N <= 1) return {};
  std::u16string Result(static_cast<size_t>(N), u'\0');
  const int Written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_HALFWIDTH, AsWide(S.c_str()),
                                   static_cast<int>(S.size()) + 1, AsWide(Result.data()), N);
  if (Written <= 0) return {};
  Result.resize(static_cast<size_t>(Written - 1));
  return Result;
}

}  // namespace StringConvertUnit
