// Every sort command must give the same text as the plain comparators through the plain
// quicksort, ties included.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "commands/LineCommands.h"
#include "reference/PlainSort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const uint8_t CommandId = static_cast<uint8_t>(1 + Data[0] % 9);
  const std::u16string Text = fuzz::AsLineText(Data + 1, Size - 1);
  FUZZ_CHECK(Tarnwick::Sort(Text, CommandId) == PlainSort::Sort(Text, CommandId));
  return 0;
}
