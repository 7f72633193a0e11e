// The hash-indexed duplicate commands must give exactly what the line-by-line scans give.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "commands/LineCommands.h"
#include "reference/DuplicationReference.h"

namespace {

// Few distinct lines make duplicates likely: the input bytes pick among short lines that
// differ in break, case and trailing space.
std::u16string LinesFrom(const uint8_t* Data, size_t Size) {
  static const char16_t* const Pieces[] = {u"a\r\n", u"a\n", u"a\r",   u"A\r\n", u"a \r\n",
                                           u"\r\n",  u"\n",  u"\r",    u"b\r\n", u"a\\Eb\n",
                                           u"x",     u"a",   u"1:2\n", u"\\E\n"};
  std::u16string Text;
  for (size_t I = 0; I < Size; ++I) Text += Pieces[Data[I] % (sizeof Pieces / sizeof *Pieces)];
  return Text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const std::u16string Text =
      Data[0] % 2 == 0 ? LinesFrom(Data + 1, Size - 1) : fuzz::AsLineText(Data + 1, Size - 1);
  FUZZ_CHECK(Tarnwick::DuplicationDelete(Text) == DuplicationReference::DuplicationDelete(Text));
  FUZZ_CHECK(Tarnwick::DuplicationDeleteCountDown(Text) ==
             DuplicationReference::DuplicationDeleteCountDown(Text));
  FUZZ_CHECK(Tarnwick::DuplicationHighlightPattern(Text) ==
             DuplicationReference::DuplicationHighlightPattern(Text));
  return 0;
}
