// Marks what the highlight pattern matches, found through the duplicate commands' line table
// rather than by the pattern: the editor's regular expression is not available here, and
// bodies may hold "\E" or other text the pattern does not quote.
#include "cli/Marking.h"

#include "commands/DuplicationLineTable.h"

namespace Marking {

namespace {

template <class TUnit>
std::vector<bool> Marked(std::basic_string_view<TUnit> Text) {
  using namespace DuplicationLineTable;
  // Every line's body, numbered by the distinct bodies; the table goes once they are known.
  std::vector<uint32_t> BodyOf;
  size_t DistinctBodies = 0;
  {
    TDistinctLinesOf<TUnit> Bodies(Text, kkBody);
    Bodies.Scan([&](const TLine&, uint32_t Number, bool) { BodyOf.push_back(Number); });
    DistinctBodies = Bodies.Count();
  }
  // A body is repeated when a non-empty line repeats an earlier line exactly (break
  // included); the whole-line table passes bare breaks over, so empty lines never count.
  std::vector<bool> Repeated(DistinctBodies);
  TDistinctLinesOf<TUnit> Whole(Text, kkWholeLine, nbUnnumbered);
  // The line the whole-line scan has reached, and where it starts: both scans go in text
  // order, so the bare breaks passed over are counted by cutting them again.
  size_t Index = 0;
  size_t At = 0;
  Whole.Scan([&](const TLine& Line, uint32_t, bool Added) {
    for (; At != Line.Offset; ++Index) At += LineScan::LineAt(Text, At).Length;
    if (!Added) Repeated[BodyOf[Index]] = true;
  });
  std::vector<bool> Result(BodyOf.size());
  for (size_t I = 0; I < BodyOf.size(); ++I) Result[I] = Repeated[BodyOf[I]];
  return Result;
}

template <class TUnit>
std::basic_string<TUnit> Mark(std::basic_string_view<TUnit> Text, const std::vector<bool>& Marks,
                              std::basic_string_view<TUnit> Open,
                              std::basic_string_view<TUnit> Close,
                              std::basic_string_view<TUnit> Plain) {
  std::basic_string<TUnit> Out;
  Out.reserve(Text.size() + Marks.size() * (Open.size() + Close.size()));
  size_t Index = 0;
  LineScan::ForEachLine(Text, [&](const LineScan::TLine& Line) {
    const std::basic_string_view<TUnit> Body = Text.substr(Line.Offset, Line.BodyLength);
    if (Marks[Index++]) {
      Out.append(Open).append(Body).append(Close);
    } else {
      Out.append(Plain).append(Body);
    }
    Out.append(Text.substr(Line.Offset + Line.BodyLength, Line.Length - Line.BodyLength));
  });
  return Out;
}

}  // namespace

std::vector<bool> MarkedLines(std::u16string_view Text) { return Marked(Text); }

std::vector<bool> MarkedLines(std::string_view Text) { return Marked(Text); }

std::u16string MarkText(std::u16string_view Text, std::u16string_view Open,
                        std::u16string_view Close, std::u16string_view Plain) {
  return Mark(Text, Marked(Text), Open, Close, Plain);
}

std::u16string MarkText(std::u16string_view Text, const std::vector<bool>& Marks,
                        std::u16string_view Open, std::u16string_view Close,
                        std::u16string_view Plain) {
  return Mark(Text, Marks, Open, Close, Plain);
}

std::string MarkText(std::string_view Text, std::string_view Open, std::string_view Close,
                     std::string_view Plain) {
  return Mark(Text, Marked(Text), Open, Close, Plain);
}

}  // namespace Marking
