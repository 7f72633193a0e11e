// Text builders shared by the randomised tests.
#pragma once

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace TestText {

// Plain UTF-16 to UTF-8 of well-formed text, one code point at a time.
inline std::string ToUtf8(std::u16string_view Text) {
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

// Up to MaxLines lines drawn from the first few of Bodies (how many is drawn too, so that some
// texts repeat nearly every line), each with a random break of the three; a third of the texts
// end with a line that has none.
inline std::u16string PooledText(std::mt19937& Rng, int MaxLines,
                                 const std::vector<std::u16string>& Bodies) {
  static const std::u16string Breaks[] = {u"\r\n", u"\r", u"\n"};
  const size_t Pool = 1 + Rng() % Bodies.size();
  std::u16string Text;
  for (int I = static_cast<int>(Rng() % (MaxLines + 1)); I > 0; --I) {
    Text += Bodies[Rng() % Pool];
    Text += Breaks[Rng() % 3];
  }
  if (Rng() % 3 == 0) Text += Bodies[Rng() % Pool];
  return Text;
}

}  // namespace TestText
