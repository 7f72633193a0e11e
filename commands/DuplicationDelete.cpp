#include <cstring>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

std::u16string DuplicationDelete(const std::u16string& Text) {
  using namespace DuplicationLineTable;
  // The lines that remain are exactly the first line of each body, each with its own break,
  // in input order: the distinct lines in order of first appearance.
  TDistinctLines Distinct(Text, kkBody);
  bool Added = false;
  ForEachLine(Text, [&](const TLine& Line) { Distinct.FindOrAdd(Line, Added); });

  size_t Total = 0;
  for (size_t I = 0; I < Distinct.Count(); ++I) Total += Distinct[I].Length;
  std::u16string Result;
  Result.resize(Total);
  // Lines that stood next to each other in the input are copied as one run.
  char16_t* Out = Result.data();
  size_t I = 0;
  while (I < Distinct.Count()) {
    const size_t RunBegin = Distinct[I].Offset;
    size_t RunEnd = RunBegin + Distinct[I].Length;
    for (++I; I < Distinct.Count() && Distinct[I].Offset == RunEnd; ++I) {
      RunEnd += Distinct[I].Length;
    }
    std::memcpy(Out, Text.data() + RunBegin, (RunEnd - RunBegin) * sizeof(char16_t));
    Out += RunEnd - RunBegin;
  }
  return Result;
}

}  // namespace Tarnwick
