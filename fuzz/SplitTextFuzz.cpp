// Splitting a text into lines and joining it back must give the text unchanged, and the
// one-pass line splitter must agree with the general splitter.
#include <cstdlib>

#include "FuzzInput.h"
#include "lists/StringRecordList.h"

namespace {

class SplittableList : public StringRecordList::TCommonStringRecordList {
 public:
  using TCommonStringRecordList::SplitText;
};

void Check(bool Condition) {
  if (!Condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::u16string Text = Size > 0 && Data[0] % 2 == 0 ? fuzz::AsUtf16(Data + 1, Size - 1)
                                                           : fuzz::AsLineText(Data, Size);
  StringRecordList::TCommonStringRecordList Fast;
  SplittableList General;
  Fast.SetText(Text);
  Check(Fast.Text() == Text);
  General.SplitText(Text, StringRecordList::LineBreaks(), StringRecordList::smKeepSeparator);
  Check(General.Count() == Fast.Count());
  for (int32_t I = 0; I < Fast.Count(); ++I) Check(General.ItemRef(I) == Fast.ItemRef(I));

  // Splitting at delimiters drops them; joining with the one delimiter used puts them back.
  General.SetDelimitedText(Text, {u"\n"});
  Check(General.GetDelimitedText(u"\n") == Text);
  return 0;
}
