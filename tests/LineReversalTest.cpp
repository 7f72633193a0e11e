// The reversal done straight on the text, against the line list's plain reversal, on
// every text of up to eight units over a letter, CR and LF: texts that are only breaks, a
// missing final break after each kind of break, lines that are empty but for their break.
#include "commands/LineReversal.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/reference/PlainSort.h"

namespace {

std::string Shown(const std::u16string& S) {
  std::string Out;
  for (char16_t Ch : S) Out += Ch == u'\r' ? "CR " : Ch == u'\n' ? "LF " : "a ";
  return Out;
}

}  // namespace

TEST(LineReversal, EveryShortTextGivesTheListsReversal) {
  const char16_t Units[] = {u'a', u'\r', u'\n'};
  for (int Length = 0; Length <= 8; ++Length) {
    int Count = 1;
    for (int K = 0; K < Length; ++K) Count *= 3;
    for (int Code = 0; Code < Count; ++Code) {
      std::u16string Text;
      for (int K = 0, C = Code; K < Length; ++K, C /= 3) Text += Units[C % 3];
      const std::u16string Expected = PlainSort::Sort(Text, 9);
      ASSERT_EQ(LineReversal::ReverseLines(Text), Expected) << Shown(Text);
      std::u16string InPlace = Text;
      LineReversal::ReverseLinesInPlace(InPlace);
      ASSERT_EQ(InPlace, Expected) << Shown(Text);
    }
  }
}

TEST(LineReversal, TextsOfOnlyBreaks) {
  EXPECT_EQ(LineReversal::ReverseLines(u""), u"");
  EXPECT_EQ(LineReversal::ReverseLines(u"\r\n"), u"\r\n");
  EXPECT_EQ(LineReversal::ReverseLines(u"\n\r\n\r"), u"\r\r\n\n");
  EXPECT_EQ(LineReversal::ReverseLines(u"\r\r\n\n"), u"\n\r\n\r");
}

TEST(LineReversal, LastLineTakesTheBreakOfTheLineBeforeIt) {
  EXPECT_EQ(LineReversal::ReverseLines(u"one\ntwo\nthree"), u"three\ntwo\none");
  EXPECT_EQ(LineReversal::ReverseLines(u"one\r\ntwo\rthree"), u"three\rtwo\rone");
  EXPECT_EQ(LineReversal::ReverseLines(u"only"), u"only");
  std::u16string Text = u"x\ny";
  LineReversal::ReverseLinesInPlace(Text);
  EXPECT_EQ(Text, u"y\nx");
}
