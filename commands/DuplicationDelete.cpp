#include <cstring>
#include <vector>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

namespace {

// The distinct lines of Text for which Keep(I) holds, I their number, each with its own break
// and in input order; Total is at least their length.
template <class TUnit, class TKeep>
std::basic_string<TUnit> CopyDistinct(std::basic_string_view<TUnit> Text,
                                      const DuplicationLineTable::TDistinctLinesOf<TUnit>& Distinct,
                                      size_t Total, TKeep&& Keep) {
  // Appended run by run into room reserved up front: one allocation, and no pass that
  // fills the result with zeros first.
  std::basic_string<TUnit> Result;
  Result.reserve(Total);
  // Lines that stood next to each other in the input are copied as one run.
  size_t RunBegin = 0;
  size_t RunEnd = 0;
  for (size_t I = 0; I < Distinct.Count(); ++I) {
    if (!Keep(I)) continue;
    const LineScan::TLine Line = Distinct.Line(I);
    if (Line.Offset != RunEnd) {
      Result.append(Text, RunBegin, RunEnd - RunBegin);
      RunBegin = Line.Offset;
    }
    RunEnd = Line.Offset + Line.Length;
  }
  Result.append(Text, RunBegin, RunEnd - RunBegin);
  return Result;
}

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
  return CopyDistinct(Text, Distinct, Total, [](size_t) { return true; });
}

template <class TUnit>
std::basic_string<TUnit> SelectDuplicates(std::basic_string_view<TUnit> Text, TOccurrence Which) {
  using namespace DuplicationLineTable;
  // A line of each body is a distinct line: the one kept, when its body occurs as Which asks.
  TDistinctLinesOf<TUnit> Distinct(Text, kkBody);
  std::vector<bool> Repeated;
  Distinct.Scan([&Repeated](const TLine&, uint32_t Number, bool Added) {
    if (Added) {
      Repeated.push_back(false);
    } else {
      Repeated[Number] = true;
    }
  });
  Distinct.ReleaseIndex();
  const auto Keep = [&Repeated, Wanted = Which == ocRepeated](size_t I) {
    return Repeated[I] == Wanted;
  };
  size_t Total = 0;
  for (size_t I = 0; I < Distinct.Count(); ++I) {
    if (Keep(I)) Total += Distinct.Line(I).Length;
  }
  return CopyDistinct(Text, Distinct, Total, Keep);
}

}  // namespace

std::u16string DuplicationDelete(const std::u16string& Text) {
  return DeleteDuplicates<char16_t>(Text);
}

std::string DuplicationDelete(std::string_view Text) { return DeleteDuplicates<char>(Text); }

std::u16string DuplicationSelect(std::u16string_view Text, TOccurrence Which) {
  return SelectDuplicates<char16_t>(Text, Which);
}

std::string DuplicationSelect(std::string_view Text, TOccurrence Which) {
  return SelectDuplicates<char>(Text, Which);
}

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
