// The decoders through which the sort engine reads the tool's checked lines as UTF-16, for
// their keys: UTF-8, a legacy encoding through its converter, UTF-16 in either byte order.
#pragma once

#include <string>
#include <string_view>

#include "cli/Codec.h"
#include "sorting/KeyedSort.h"
#include "strings/Utf8.h"

namespace LineDecoders {

// Lines of a checked UTF-8 text.
class TUtf8Lines final : public KeyedSort::TLineDecoder {
 public:
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override {
    return Utf8::DecodeWellFormed(Line, Scratch);
  }
};

// Lines of a checked text in a legacy encoding, through its converter (which each thread keeps
// open).
class TLegacyLines final : public KeyedSort::TLineDecoder {
 public:
  explicit TLegacyLines(const Codec::TEncoding& Encoding) : FEncoding(Encoding) {}
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override {
    Codec::DecodeAcceptedLines(Line, FEncoding, Scratch);
    return Scratch;
  }

 private:
  const Codec::TEncoding& FEncoding;
};

// Lines of UTF-16 bytes in the given order.
class TUtf16Lines final : public KeyedSort::TLineDecoder {
 public:
  explicit TUtf16Lines(bool BigEndian) : FBig(BigEndian) {}
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override {
    Scratch.resize(Line.size() / 2);
    for (size_t I = 0; I < Scratch.size(); ++I) {
      const auto B0 = static_cast<unsigned char>(Line[2 * I]);
      const auto B1 = static_cast<unsigned char>(Line[2 * I + 1]);
      Scratch[I] = static_cast<char16_t>(FBig ? B0 << 8 | B1 : B1 << 8 | B0);
    }
    return Scratch;
  }

 private:
  bool FBig;
};

}  // namespace LineDecoders
