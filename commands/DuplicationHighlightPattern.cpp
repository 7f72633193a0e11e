#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

namespace {

// Appends Body as literal text inside a \Q...\E quote that is already open. A "\E" in the
// body would close the quote early, so each one is written as "\E\\E\Q": close the quote,
// an escaped backslash, a plain E, and open the quote again.
void AppendQuoted(std::u16string& Pattern, std::u16string_view Body) {
  size_t From = 0;
  for (size_t At = Body.find(u"\\E"); At != std::u16string_view::npos;
       At = Body.find(u"\\E", From)) {
    Pattern.append(Body.substr(From, At - From)).append(u"\\E\\\\E\\Q");
    From = At + 2;
  }
  Pattern.append(Body.substr(From));
}

}  // namespace

std::u16string DuplicationHighlightPattern(const std::u16string& Text) {
  using namespace DuplicationLineTable;
  // One alternative per line that repeats an earlier line exactly (break included), in text
  // order: a line that occurs k times gives k - 1 alternatives. Empty lines never count.
  TDistinctLines Distinct(Text, kkWholeLine);
  std::u16string Pattern;
  bool Added = false;
  ForEachLine(Text, [&](const TLine& Line) {
    if (Line.BodyLength == 0) return;  // A bare line break.
    Distinct.FindOrAdd(Line, Added);
    if (Added) return;
    Pattern.append(u"^\\Q");
    AppendQuoted(Pattern, std::u16string_view(Text).substr(Line.Offset, Line.BodyLength));
    Pattern.append(u"\\E$|");
  });
  if (!Pattern.empty()) Pattern.pop_back();  // The separator after the last alternative.
  return Pattern;
}

}  // namespace Tarnwick
