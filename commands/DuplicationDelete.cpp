#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

std::u16string DuplicationDelete(const std::u16string& Text) {
  using namespace DuplicationLineTable;
  // The lines that remain are exactly the first line of each body, each with its own break,
  // in input order: the distinct lines in order of first appearance.
  TDistinctLines Distinct(Text, kkBody);
  size_t Total = 0;
  Distinct.Scan([&Total](const TLine& Line, uint32_t, bool Added) {
    if (Added) Total += Line.Length;
  });

  // Appended run by run into room reserved up front: one allocation, and no pass that
  // fills the result with zeros first.
  std::u16string Result;
  Result.reserve(Total);
  // Lines that stood next to each other in the input are copied as one run.
  size_t RunBegin = 0;
  size_t RunEnd = 0;
  for (size_t I = 0; I < Distinct.Count(); ++I) {
    const TLine Line = Distinct.Line(I);
    if (Line.Offset != RunEnd) {
      Result.append(Text, RunBegin, RunEnd - RunBegin);
      RunBegin = Line.Offset;
    }
    RunEnd = Line.Offset + Line.Length;
  }
  Result.append(Text, RunBegin, RunEnd - RunBegin);
  return Result;
}

}  // namespace Tarnwick
