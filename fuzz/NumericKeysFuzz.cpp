// The numeric key of a line must equal the plain character-by-character scan's.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "reference/PlainSort.h"
#include "sorting/NumericKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::u16string Line = Size > 0 && Data[0] % 4 == 0 ? fuzz::AsUtf16(Data + 1, Size - 1)
                                                           : fuzz::AsLineText(Data, Size);
  const auto Fast = StringRecordListNormalSort::ExtractNumbers(Line);
  FUZZ_CHECK(Fast == PlainSort::ExtractNumbers(Line));
  return 0;
}
