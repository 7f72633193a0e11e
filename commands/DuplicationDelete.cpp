#include <cstring>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

namespace {

template <class TUnit>
std::basic_string<TUnit> DeleteDuplicates(std::basic_string_view<TUnit> Text) {
  using namespace DuplicationLineTable;
  // The lines that remain are exactly the first line of each body, each with its own break,
  // in input order: the distinct lines in order of first appearance.
  TDistinctLinesOf<TUnit> Distinct(Text, kkBody);
  size_t Total = 0;
  Distinct.Scan([&Total](const TLine& Line, uint32_t, bool Added) {
    if (Added) Total += Line.Length;
  });
  // The index is not needed to copy the lines out.
  Distinct.ReleaseIndex();

  // Appended run by run into room reserved up front: one allocation, and no pass that
  // fills the result with zeros first.
  std::basic_string<TUnit> Result;
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

}  // namespace

std::u16string DuplicationDelete(const std::u16string& Text) {
  return DeleteDuplicates<char16_t>(Text);
}

std::string DuplicationDelete(std::string_view Text) { return DeleteDuplicates<char>(Text); }

size_t DuplicationDeleteInPlace(char* Text, size_t Size) {
  using namespace DuplicationLineTable;
  // Each line that stays moves down to the end of the lines kept before it, which never lies
  // after its own place: the lines not yet looked up stay where they are. A kept line's body
  // is found at its new place by the later lookups, followed by its own break as before.
  TDistinctBytes Distinct(std::string_view(Text, Size), kkBody, nbUnnumbered);
  size_t Kept = 0;
  Distinct.Scan([&](const TLine& Line, uint32_t, bool Added) {
    if (!Added) return;
    if (Line.Offset != Kept) {
      std::memmove(Text + Kept, Text + Line.Offset, Line.Length);
      Distinct.RelocateAdded(Kept);
    }
    Kept += Line.Length;
  });
  return Kept;
}

}  // namespace Tarnwick
