// What the tool writes when no path on the input's bytes takes it: the whole text decoded, the
// command (or highlight --mark's marking) run on its UTF-16, the whole result encoded. The
// paths on the bytes are checked against it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "cli/Codec.h"
#include "cli/Marking.h"
#include "cli/Operations.h"

namespace CommonPath {

// highlight --mark's marks without colour, and with the colour escapes.
inline constexpr Operations::TMarks Plain{"* ", "", "  "};
inline constexpr Operations::TMarks Colour{"\x1b[30;43m", "\x1b[0m", ""};

// The output bytes, or the message of the error that refused the input or the result.
struct TOutcome {
  std::string Bytes;
  std::string Error;
  bool OnBytes = false;  // the command ran on the bytes (set by the path under test)
  bool Refused() const { return !Error.empty(); }
};

// Operation (highlight with Marks, when given, marks the text) on Text, the decoded input,
// encoded as the tool writes it: the pattern is a line of its own, without a byte-order mark.
inline TOutcome RunAndEncode(const Operations::TOperation& Operation,
                             const Operations::TMarks* Marks, std::u16string Text,
                             Codec::TEncoding Encoding) {
  auto Widen = [](std::string_view Ascii) { return std::u16string(Ascii.begin(), Ascii.end()); };
  std::u16string Result;
  if (Operation.Id == 12 && Marks != nullptr) {
    Result = Marking::MarkText(Text, Widen(Marks->Open), Widen(Marks->Close), Widen(Marks->Plain));
  } else if (Operation.Id == 12) {
    Result = Operations::Run(Operation, Text) + u"\n";
    Encoding.Bom = false;
  } else {
    Result = Operations::Run(Operation, std::move(Text));
  }
  try {
    return {Codec::Encode(Result, Encoding), ""};
  } catch (const Codec::EUnencodable& e) {
    return {"", e.what()};
  }
}

// Input decoded in Encoding, then as RunAndEncode.
inline TOutcome Run(const Operations::TOperation& Operation, const Operations::TMarks* Marks,
                    const std::string& Input, Codec::TEncoding Encoding) {
  std::u16string Text;
  try {
    Text = Codec::Decode(Input, Encoding);
  } catch (const Codec::EInvalidInput& e) {
    return {"", e.what()};
  }
  return RunAndEncode(Operation, Marks, std::move(Text), Encoding);
}

}  // namespace CommonPath
