// What the tool writes when no path on the input's bytes takes it: the whole text decoded in
// one call, then the tool's common path (Operations::RunAndEncode). The paths on the bytes are
// checked against it.
#pragma once

#include <string>
#include <utility>

#include "cli/Codec.h"
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
// encoded as the tool writes it.
inline TOutcome RunAndEncode(const Operations::TOperation& Operation,
                             const Operations::TMarks* Marks, std::u16string Text,
                             const Codec::TEncoding& Encoding,
                             const Operations::TChoices& Choices = {}) {
  try {
    return {Operations::RunAndEncode(Operation, Encoding, std::move(Text), Marks, Choices), ""};
  } catch (const Codec::EUnencodable& e) {
    return {"", e.what()};
  }
}

// Input decoded in Encoding, then as RunAndEncode.
inline TOutcome Run(const Operations::TOperation& Operation, const Operations::TMarks* Marks,
                    const std::string& Input, Codec::TEncoding Encoding,
                    const Operations::TChoices& Choices = {}) {
  std::u16string Text;
  try {
    Text = Codec::Decode(Input, Encoding);
  } catch (const Codec::EInvalidInput& e) {
    return {"", e.what()};
  }
  return RunAndEncode(Operation, Marks, std::move(Text), Encoding, Choices);
}

}  // namespace CommonPath
