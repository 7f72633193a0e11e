// The twelve menu operations as the tool names them (their captions: commands/CommandCaptions.h),
// and the tool's own shuffle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/Codec.h"
#include "commands/LineCommands.h"
#include "sorting/LineTies.h"
#include "strings/LineKey.h"

namespace Operations {

struct TOperation {
  std::string_view Name;  // the tool's name for it, e.g. "sort-numeric"
  uint8_t Id;             // the menu identifier, 1..12; NotInMenu for shuffle
  const char* Summary;    // what it does, in English (translated where it is shown)
};

// The identifier of the operation the menu does not have.
constexpr uint8_t NotInMenu = 0;

// What the tool's options choose beyond the operation.
struct TChoices {
  uint64_t Seed = 0;  // shuffle: the seed of the generator (Random::TRandom)
  // dedupe: keep only the lines whose body occurs once (--only-unique) or the first line of
  // each body that occurs more than once (--only-repeated); absent, the first of each body.
  std::optional<Tarnwick::TOccurrence> Only;
  // The sorts, dedupe, count and highlight --mark: compare the lines by this field only.
  LineKey::TKeyRule Key;
  // The sorts: how lines whose keys compare equal are ordered (LineTies::Settle).
  LineTies::TTies Ties = LineTies::tiAsSorted;
};

// The twelve in menu order, then shuffle.
std::span<const TOperation> All();

// The operation of that name, or of that menu identifier (1..12), or nullptr.
const TOperation* FindByName(std::string_view Name);
const TOperation* FindById(int Id);

// Runs the operation on Text through the line commands: the new text for 1..11, the editor's
// highlight pattern (without a line break) for 12. The sort and reverse operations release Text
// as soon as they no longer need it. Exceptions of the commands pass through.
std::u16string Run(const TOperation& Operation, std::u16string&& Text,
                   const TChoices& Choices = {});

// How highlight --mark shows the lines it marks: Open and Close around the body of each marked
// line, Plain before the body of every other line.
struct TMarks {
  std::string_view Open;
  std::string_view Close;
  std::string_view Plain;
};

// Runs the operation on the bytes of a file themselves where that gives the bytes the
// decoding, Run (or the marking, with Marks) and encoding would give: reversal and the
// duplicate commands on valid UTF-8, whose byte-order mark stays in front (but not before the
// highlight pattern, which is written as a line of its own), and reversal, deletion, counting
// and marking on a legacy encoding that converts by line, once its bytes are known to decode
// and to be written back as themselves; shuffle as reversal. True when it did, Bytes then holding
// the output; false, Bytes untouched, when the text must take the common path. Exceptions of the
// commands pass through.
bool RunOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes,
                const TMarks* Marks = nullptr, const TChoices& Choices = {});

// Runs sort operation 1..8 on Bytes where their lines lie, when Encoding converts by line
// (UTF-8, Shift_JIS, EUC-JP) and the bytes decode and are written back as themselves: the bytes
// the common path would give. True when it did, Bytes then holding the output; false, Bytes
// untouched, when the common path must sort them. Exceptions of the comparisons pass through.
bool SortOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes,
                 const TChoices& Choices = {});

// The common path: Input decoded whole (a byte-order mark, when Encoding allows one, sets the
// encoding of the output), then RunAndEncode. Input is released once decoded. Throws
// Codec::EInvalidInput, and as RunAndEncode.
std::string RunOnText(const TOperation& Operation, Codec::TEncoding Encoding, std::string&& Input,
                      const TMarks* Marks = nullptr, const TChoices& Choices = {});

// The operation run on Text, the decoded input (highlight with Marks marks the text), and the
// result encoded as the tool writes it: the highlight pattern as a line of its own, without a
// byte-order mark. Throws Codec::EUnencodable and the exceptions of the commands.
std::string RunAndEncode(const TOperation& Operation, Codec::TEncoding Encoding,
                         std::u16string&& Text, const TMarks* Marks = nullptr,
                         const TChoices& Choices = {});

// What the tool writes for the operation on a file's bytes: on the bytes themselves where that
// gives the same bytes (SortOnBytes, RunOnBytes), else through the common path. Throws as
// RunOnText.
std::string RunOnFile(const TOperation& Operation, const Codec::TEncoding& Encoding,
                      std::string&& Input, const TMarks* Marks = nullptr,
                      const TChoices& Choices = {});

}  // namespace Operations
