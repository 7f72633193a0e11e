#include "strings/LineKey.h"

#include <climits>
#include <utility>

#include "base/Exceptions.h"
#include "platform/Win32.h"

namespace LineKey {

std::u16string_view FieldOf(std::u16string_view Body, const TKeyRule& Rule) {
  if (Rule.Field == 0) return Body;
  size_t Begin = 0;
  if (Rule.Separator) {
    for (uint32_t K = 1; K < Rule.Field; ++K) {
      const size_t At = Body.find(*Rule.Separator, Begin);
      if (At == std::u16string_view::npos) return {};
      Begin = At + 1;
    }
    return Body.substr(Begin, Body.find(*Rule.Separator, Begin) - Begin);
  }
  for (uint32_t K = 1;; ++K) {
    while (Begin < Body.size() && IsBlank(Body[Begin])) ++Begin;
    if (Begin == Body.size()) return {};
    size_t End = Begin;
    while (End < Body.size() && !IsBlank(Body[End])) ++End;
    if (K == Rule.Field) return Body.substr(Begin, End - Begin);
    Begin = End;
  }
}

namespace {

// Text mapped by LCMapStringW with Flag into Mapped. The maps never lengthen a text, so one
// call with room for Text's length does; the size is asked for only if the platform wants more.
void Map(std::u16string_view Text, DWORD Flag, std::u16string& Mapped) {
  Mapped.resize(Text.size());
  if (Text.empty()) return;
  if (Text.size() > static_cast<size_t>(INT_MAX)) throw SysUtils::Exception("LCMapStringW");
  const int Length = static_cast<int>(Text.size());
  int Written = LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length,
                             AsWide(Mapped.data()), Length);
  if (Written <= 0) {
    const int Needed =
        LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length, nullptr, 0);
    if (Needed <= 0) throw SysUtils::Exception("LCMapStringW");
    Mapped.resize(static_cast<size_t>(Needed));
    Written = LCMapStringW(LOCALE_USER_DEFAULT, Flag, AsWide(Text.data()), Length,
                           AsWide(Mapped.data()), Needed);
    if (Written <= 0) throw SysUtils::Exception("LCMapStringW");
  }
  Mapped.resize(static_cast<size_t>(Written));
}

}  // namespace

std::u16string Folded(std::u16string_view Text, uint32_t Fold) {
  std::u16string Out;
  AppendFolded(Text, Fold, Out);
  return Out;
}

void AppendFolded(std::u16string_view Text, uint32_t Fold, std::u16string& Out) {
  // Two buffers a thread, kept from line to line, take the text in turn.
  thread_local std::u16string From, To;
  From.assign(Text);
  for (const auto& [Bit, Flag] : {std::pair<uint32_t, DWORD>{fdWidth, LCMAP_FULLWIDTH},
                                  {fdKana, LCMAP_HIRAGANA},
                                  {fdCase, LCMAP_LOWERCASE}}) {
    if ((Fold & Bit) == 0) continue;
    Map(From, Flag, To);
    From.swap(To);
  }
  Out += From;
}

void AppendKey(std::u16string_view Body, const TKeyRule& Rule, std::u16string& Out) {
  const std::u16string_view Field = FieldOf(Body, Rule);
  if (Rule.Fold == 0) {
    Out += Field;
  } else {
    AppendFolded(Field, Rule.Fold, Out);
  }
}

}  // namespace LineKey
