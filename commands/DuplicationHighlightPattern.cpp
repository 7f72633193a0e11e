#include <vector>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

namespace {

constexpr std::u16string_view Open = u"^\\Q";
constexpr std::u16string_view Close = u"\\E$|";
// What a "\E" inside a body becomes: close the quote, an escaped backslash, a plain E, and
// open the quote again.
constexpr std::u16string_view QuotedBackslashE = u"\\E\\\\E\\Q";

// Appends Body as literal text inside a \Q...\E quote that is already open. A "\E" in the
// body would close the quote early, so each one is written as QuotedBackslashE.
void AppendQuoted(std::u16string& Pattern, std::u16string_view Body) {
  size_t From = 0;
  for (size_t At = 0; At + 1 < Body.size(); ++At) {
    if (Body[At] == u'\\' && Body[At + 1] == u'E') {
      Pattern.append(Body.substr(From, At - From)).append(QuotedBackslashE);
      From = At + 2;
      ++At;
    }
  }
  Pattern.append(Body.substr(From));
}

}  // namespace

std::u16string DuplicationHighlightPattern(const std::u16string& Text) {
  using namespace DuplicationLineTable;
  // One alternative per line that repeats an earlier line exactly (break included), in text
  // order: a line that occurs k times gives k - 1 alternatives. Empty lines never count.
  TDistinctLines Distinct(Text, kkWholeLine);
  std::vector<size_t> Repeats;
  size_t Total = 0;
  Distinct.Scan([&](const TLine& Line, uint32_t, bool Added) {
    if (Added) return;
    Repeats.push_back(Line.Offset);
    Total += Open.size() + Line.BodyLength + Close.size();
  });

  // Sized for the usual case of bodies without "\E"; those add a little and may grow it.
  std::u16string Pattern;
  Pattern.reserve(Total);
  for (const size_t Offset : Repeats) {
    const TLine Line = LineScan::LineAt(Text, Offset);
    Pattern.append(Open);
    AppendQuoted(Pattern, std::u16string_view(Text).substr(Line.Offset, Line.BodyLength));
    Pattern.append(Close);
  }
  if (!Pattern.empty()) Pattern.pop_back();  // The separator after the last alternative.
  return Pattern;
}

}  // namespace Tarnwick
