#include "strings/LineKey.h"

#include <climits>
#include <utility>

#include "base/Exceptions.h"
#include "platform/Win32.h"

namespace LineKey {

std::u16string_view FieldOf(std::u16string_view Body, const TKeySpec& Spec) {
  if (Spec.Field == 0) return Body;
  size_t Begin = 0;
  if (Spec.Separator) {
    for (uint32_t K = 1; K < Spec.Field; ++K) {
      const size_t At = Body.find(*Spec.Separator, Begin);
      if (At == std::u16string_view::npos) return {};
      Begin = At + 1;
    }
    return Body.substr(Begin, Body.find(*Spec.Separator, Begin) - Begin);
  }
  for (uint32_t K = 1;; ++K) {
    while (Begin < Body.size() && IsBlank(Body[Begin])) ++Begin;
    if (Begin == Body.size()) return {};
    size_t End = Begin;
    while (End < Body.size() && !IsBlank(Body[End])) ++End;
    if (K == Spec.Field) return Body.substr(Begin, End - Begin);
    Begin = End;
  }
}

namespace {

// Text mapped by LCMapStringW with Flag, in place.
void Map(std::u16string& Text, DWORD Flag) {
  if (Text.empty()) return;
  if (Text.size() > static_cast<size_t>(INT_MAX)) throw SysUtils::Exception("LCMapStringW");
  const int Length = static_cast<int>(Text.size());
  const int Needed =
      LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length, nullptr, 0);
  if (Needed <= 0) throw SysUtils::Exception("LCMapStringW");
  std::u16string Mapped(static_cast<size_t>(Needed), u'\0');
  if (LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length, AsWide(Mapped.data()),
                   Needed) != Needed) {
    throw SysUtils::Exception("LCMapStringW");
  }
  Text = std::move(Mapped);
}

}  // namespace

std::u16string Folded(std::u16string_view Text, uint32_t Fold) {
  std::u16string Out(Text);
  if ((Fold & fdWidth) != 0) Map(Out, LCMAP_FULLWIDTH);
  if ((Fold & fdKana) != 0) Map(Out, LCMAP_HIRAGANA);
  if ((Fold & fdCase) != 0) Map(Out, LCMAP_LOWERCASE);
  return Out;
}

void AppendKey(std::u16string_view Body, const TKeySpec& Spec, std::u16string& Out) {
  const std::u16string_view Field = FieldOf(Body, Spec);
  if (Spec.Fold == 0) {
    Out += Field;
  } else {
    Out += Folded(Field, Spec.Fold);
  }
}

}  // namespace LineKey
