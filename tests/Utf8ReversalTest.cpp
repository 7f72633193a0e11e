// The reversal on UTF-8 bytes against the reversal on UTF-16, the path every other text takes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "commands/LineReversal.h"
#include "support/TestText.h"

namespace {

// Lines of one to four bytes per character, mixed breaks, and now and then a long line so
// that the vector search runs; the last line may lack its break.
std::u16string RandomText(std::mt19937& Rng) {
  static const std::u16string Pieces[] = {u"a",
                                          u"Z",
                                          u" ",
                                          u"\r",
                                          u"\n",
                                          u"\r\n",
                                          u"\r\n",
                                          u"é",
                                          u"あ",
                                          u"ｱ",
                                          u"\u010D",
                                          u"\u0A0D",
                                          u"\U00020BB7",
                                          std::u16string(1, u'\0'),
                                          u"long line of ascii text"};
  std::u16string Text;
  const size_t Count = Rng() % 30;
  for (size_t I = 0; I < Count; ++I) Text += Pieces[Rng() % std::size(Pieces)];
  return Text;
}

}  // namespace

TEST(Utf8Reversal, GivesTheUtf8OfTheUtf16ReversalOnRandomTexts) {
  std::mt19937 Rng(97);
  for (int Round = 0; Round < 5000; ++Round) {
    const std::u16string Text = RandomText(Rng);
    const std::string Expected = TestText::ToUtf8(LineReversal::ReverseLines(Text));
    const std::string Bytes = TestText::ToUtf8(Text);
    ASSERT_EQ(LineReversal::ReverseLines(Bytes), Expected) << "round " << Round;
    std::string InPlace = Bytes;
    LineReversal::ReverseLinesInPlace(InPlace);
    ASSERT_EQ(InPlace, Expected) << "round " << Round;
  }
}

TEST(Utf8Reversal, EdgesMatchTheUtf16Reversal) {
  for (const std::u16string Text :
       {u"", u"\n", u"\r", u"\r\n", u"one", u"\r\r\n\n", u"a\rb", u"a\nb\r\n", u"あ\r\nい"}) {
    EXPECT_EQ(LineReversal::ReverseLines(TestText::ToUtf8(Text)),
              TestText::ToUtf8(LineReversal::ReverseLines(Text)));
  }
}
