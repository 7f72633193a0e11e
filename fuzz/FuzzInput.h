// Turns a fuzzer's bytes into the inputs the targets need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace fuzz {

// Reads the bytes as UTF-16 code units (little-endian pairs); an odd last byte is dropped.
inline std::u16string AsUtf16(const uint8_t* Data, size_t Size) {
  std::u16string Text(Size / 2, u'\0');
  for (size_t I = 0; I < Text.size(); ++I) {
    Text[I] = static_cast<char16_t>(Data[2 * I] | (Data[2 * I + 1] << 8));
  }
  return Text;
}

// Maps each byte onto a small alphabet rich in what line code cares about: breaks, digits,
// signs, commas, spaces, full-width forms, case pairs and a surrogate pair's halves.
inline std::u16string AsLineText(const uint8_t* Data, size_t Size) {
  static const char16_t Alphabet[] = {u'\r',  u'\n',  u'a', u'A',  u'b',  u' ',  u'0',      u'1',
                                      u'9',   u'-',   u'+', u',',  u'\t', u'\\', u'E',      u'Q',
                                      u'あ',  u'ア',  u'ｱ', u'１', u'－', u'，', u'\x3000', u'\0',
                                      0xD842, 0xDFB7, u'x', u'\r', u'\n', u'5',  u'.',      u'z'};
  std::u16string Text;
  Text.reserve(Size);
  for (size_t I = 0; I < Size; ++I)
    Text += Alphabet[Data[I] % (sizeof Alphabet / sizeof *Alphabet)];
  return Text;
}

}  // namespace fuzz
