#include "plugin/Utf8.h"

#include <cstdint>

namespace Tarnwick {
namespace {

constexpr char16_t Replacement = 0xFFFD;

bool IsContinuation(unsigned char Byte) { return (Byte & 0xC0) == 0x80; }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view Utf8) {
  std::u16string Result;
  Result.reserve(Utf8.size());
  size_t I = 0;
  while (I < Utf8.size()) {
    const unsigned char Lead = static_cast<unsigned char>(Utf8[I]);
    size_t Length = 0;
    char32_t Code = 0, Minimum = 0;
    if (Lead < 0x80) {
      Length = 1, Code = Lead;
    } else if ((Lead & 0xE0) == 0xC0) {
      Length = 2, Code = Lead & 0x1F, Minimum = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
      Length = 3, Code = Lead & 0x0F, Minimum = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
      Length = 4, Code = Lead & 0x07, Minimum = 0x10000;
    }
    bool Valid = Length > 0 && I + Length <= Utf8.size();
    for (size_t K = 1; Valid && K < Length; ++K) {
      const unsigned char Next = static_cast<unsigned char>(Utf8[I + K]);
      Valid = IsContinuation(Next);
      Code = (Code << 6) | (Next & 0x3F);
    }
    Valid = Valid && Code >= Minimum && Code <= 0x10FFFF && !(Code >= 0xD800 && Code <= 0xDFFF);
    if (!Valid) {
      Result.push_back(Replacement);
      ++I;
      continue;
    }
    if (Code >= 0x10000) {
      Code -= 0x10000;
      Result.push_back(static_cast<char16_t>(0xD800 + (Code >> 10)));
      Result.push_back(static_cast<char16_t>(0xDC00 + (Code & 0x3FF)));
    } else {
      Result.push_back(static_cast<char16_t>(Code));
    }
    I += Length;
  }
  return Result;
}

}  // namespace Tarnwick
