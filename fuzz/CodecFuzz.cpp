// Decoding the tool's input and encoding its output: valid input must come back byte for byte
// (Unicode encodings, marks included) or as the same text (legacy encodings); invalid input
// must be refused with an offset inside the input, never decoded into something else. An
// encoding that converts by line decodes (or refuses) a text as its first line and the rest.
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "cli/Codec.h"
#include "strings/LineScan.h"

namespace {

// Decodes Bytes as two runs of lines, the first line and the rest, into Out.
bool DecodeByLines(std::string_view Bytes, const Codec::TEncoding& Encoding, std::u16string& Out) {
  const size_t Cut = Bytes.empty() ? 0 : LineScan::LineAt(Bytes, 0).Length;
  std::u16string Rest;
  if (!Codec::DecodeLines(Bytes.substr(0, Cut), Encoding, Out) ||
      !Codec::DecodeLines(Bytes.substr(Cut), Encoding, Rest)) {
    return false;
  }
  Out += Rest;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const char* const Names[] = {"",       "UTF-8",     "UTF-16LE",    "UTF-16BE",
                                      "UTF-16", "Shift_JIS", "windows-31j", "EUC-JP"};
  if (Size == 0) return 0;
  const std::string Name = Names[Data[0] % (sizeof Names / sizeof *Names)];
  const std::string_view Bytes(reinterpret_cast<const char*>(Data + 1), Size - 1);

  Codec::TEncoding Encoding = Codec::Resolve(Name);
  const bool ByLine = Encoding.Family == Codec::TFamily::fmOther && Codec::ConvertsByLine(Encoding);
  std::u16string Text, Lines;
  try {
    Text = Codec::Decode(Bytes, Encoding);
  } catch (const Codec::EInvalidInput& E) {
    FUZZ_CHECK(E.Offset < Bytes.size());
    if (ByLine) FUZZ_CHECK(!DecodeByLines(Bytes, Encoding, Lines));
    return 0;
  }
  if (ByLine) FUZZ_CHECK(DecodeByLines(Bytes, Encoding, Lines) && Lines == Text);
  const bool Unicode = Encoding.Family != Codec::TFamily::fmOther;
  try {
    const std::string Back = Codec::Encode(Text, Encoding);
    if (Unicode) {
      FUZZ_CHECK(Back == Bytes);
    } else {
      Codec::TEncoding Again = Codec::Resolve(Name);
      FUZZ_CHECK(Codec::Decode(Back, Again) == Text);
    }
  } catch (const Codec::EUnencodable& E) {
    // Only a legacy encoding can lack a character that it decoded; Unicode has them all.
    FUZZ_CHECK(!Unicode);
    FUZZ_CHECK(E.Index < Text.size());
  }
  return 0;
}
