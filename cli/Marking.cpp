// Marks what the highlight pattern matches, found through the duplicate commands' line table
// rather than by the pattern: the editor's regular expression is not available here, and
// bodies may hold "\E" or other text the pattern does not quote.
#include "cli/Marking.h"

#include "commands/DuplicationLineTable.h"

namespace Marking {

std::vector<bool> MarkedLines(std::u16string_view Text) {
  using namespace DuplicationLineTable;
  // Every line's body, numbered by the distinct bodies, and where each line starts.
  TDistinctLines Bodies(Text, kkBody);
  std::vector<uint32_t> BodyOf;
  std::vector<size_t> Starts;
  Bodies.Scan([&](const TLine& Line, uint32_t Number, bool) {
    BodyOf.push_back(Number);
    Starts.push_back(Line.Offset);
  });
  // A body is repeated when a non-empty line repeats an earlier line exactly (break
  // included); the whole-line table passes bare breaks over, so empty lines never count.
  std::vector<bool> Repeated(Bodies.Count());
  TDistinctLines Whole(Text, kkWholeLine);
  size_t Index = 0;  // The line the whole-line scan has reached; both scans go in text order.
  Whole.Scan([&](const TLine& Line, uint32_t, bool Added) {
    while (Starts[Index] != Line.Offset) ++Index;
    if (!Added) Repeated[BodyOf[Index]] = true;
  });
  std::vector<bool> Marked(BodyOf.size());
  for (size_t I = 0; I < BodyOf.size(); ++I) Marked[I] = Repeated[BodyOf[I]];
  return Marked;
}

std::u16string MarkText(std::u16string_view Text, std::u16string_view Open,
                        std::u16string_view Close, std::u16string_view Plain) {
  const std::vector<bool> Marked = MarkedLines(Text);
  std::u16string Out;
  Out.reserve(Text.size() + Marked.size() * (Open.size() + Close.size()));
  size_t Index = 0;
  LineScan::ForEachLine(Text, [&](const LineScan::TLine& Line) {
    const std::u16string_view Body = Text.substr(Line.Offset, Line.BodyLength);
    if (Marked[Index++]) {
      Out.append(Open).append(Body).append(Close);
    } else {
      Out.append(Plain).append(Body);
    }
    Out.append(Text.substr(Line.Offset + Line.BodyLength, Line.Length - Line.BodyLength));
  });
  return Out;
}

}  // namespace Marking
