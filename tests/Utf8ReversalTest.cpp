// The reversal on UTF-8 bytes against the reversal on UTF-16, the path every other text takes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "commands/LineReversal.h"

namespace {

// Plain UTF-16 to UTF-8 of well-formed text.
std::string ToUtf8(std::u16string_view Text) {
  std::string Out;
  for (size_t I = 0; I < Text.size(); ++I) {
    char32_t C = Text[I];
    if (C >= 0xD800 && C <= 0xDBFF) C = 0x10000 + ((C - 0xD800) << 10) + (Text[++I] - 0xDC00);
    if (C < 0x80) {
      Out += static_cast<char>(C);
    } else if (C < 0x800) {
      Out += static_cast<char>(0xC0 | (C >> 6));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
      Out += static_cast<char>(0xE0 | (C >> 12));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (C >> 18));
      Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  return Out;
}

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
    const std::string Expected = ToUtf8(LineReversal::ReverseLines(Text));
    const std::string Bytes = ToUtf8(Text);
    ASSERT_EQ(LineReversal::ReverseLines(Bytes), Expected) << "round " << Round;
    std::string InPlace = Bytes;
    LineReversal::ReverseLinesInPlace(InPlace);
    ASSERT_EQ(InPlace, Expected) << "round " << Round;
  }
}

TEST(Utf8Reversal, EdgesMatchTheUtf16Reversal) {
  for (const std::u16string Text :
       {u"", u"\n", u"\r", u"\r\n", u"one", u"\r\r\n\n", u"a\rb", u"a\nb\r\n", u"あ\r\nい"}) {
    EXPECT_EQ(LineReversal::ReverseLines(ToUtf8(Text)), ToUtf8(LineReversal::ReverseLines(Text)));
  }
}
