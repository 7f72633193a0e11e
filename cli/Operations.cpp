// Maps the tool's operation names to the line commands the plug-in runs for the same menu item.
#include "cli/Operations.h"

#include <array>
#include <utility>

#include "cli/Marking.h"
#include "cli/TextPieces.h"
#include "commands/LineCommands.h"
#include "commands/LineReversal.h"

namespace Operations {
namespace {

constexpr std::array<TOperation, 12> kOperations{{
    {"sort", 1, "sort ascending, dictionary order"},
    {"sort-desc", 2, "sort descending, dictionary order"},
    {"sort-rev", 3, "sort ascending, dictionary order reading each line from its end"},
    {"sort-rev-desc", 4, "sort descending, dictionary order reading each line from its end"},
    {"sort-numeric", 5, "sort ascending by the integer in each line"},
    {"sort-numeric-desc", 6, "sort descending by the integer in each line"},
    {"sort-length", 7, "sort ascending by length in bytes"},
    {"sort-length-desc", 8, "sort descending by length in bytes"},
    {"reverse", 9, "reverse the order of the lines"},
    {"dedupe", 10, "delete lines that repeat an earlier line"},
    {"count", 11, "each distinct line once with \":\" and its count, most frequent first"},
    {"highlight", 12, "print the editor's pattern for the repeated lines (--mark: show them)"},
}};

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// Output, with the UTF-8 byte-order mark in front when the input had one (Base != 0).
std::string WithMark(std::string&& Output, size_t Base) {
  if (Base != 0) Output.insert(0, Utf8Mark);
  return std::move(Output);
}

// True when Operation may run on Bytes in Encoding, a legacy encoding, as on UTF-8: the
// encoding converts by line (so CR and LF are single bytes in no other character), the bytes
// decode and are written back as themselves (so lines with equal bytes are those with equal
// text), and what the command adds is ASCII written as itself (":" and the count, the marks).
// Not the highlight pattern: its quoting looks for "\E" in the bodies, and in Shift_JIS the
// byte of "\" is also the second byte of characters such as "ソ".
bool RunsOnLegacyBytes(const TOperation& Operation, const Codec::TEncoding& Encoding,
                       std::string_view Bytes, const TMarks* Marks) {
  if (!Codec::ConvertsByLine(Encoding) || (Operation.Id == 12 && Marks == nullptr)) return false;
  std::string Added = Operation.Id == 11 ? ":0123456789" : "";
  if (Operation.Id == 12) Added.append(Marks->Open).append(Marks->Close).append(Marks->Plain);
  return TextPieces::StandsForText(Bytes, Encoding, Added);
}

}  // namespace

std::span<const TOperation> All() { return kOperations; }

const TOperation* FindByName(std::string_view Name) {
  for (const TOperation& op : kOperations)
    if (op.Name == Name) return &op;
  return nullptr;
}

const TOperation* FindById(int Id) {
  for (const TOperation& op : kOperations)
    if (op.Id == Id) return &op;
  return nullptr;
}

std::u16string Run(const TOperation& Operation, const std::u16string& Text) {
  switch (Operation.Id) {
    case 10:
      return Tarnwick::DuplicationDelete(Text);
    case 11:
      return Tarnwick::DuplicationDeleteCountDown(Text);
    case 12:
      return Tarnwick::DuplicationHighlightPattern(Text);
    default:
      return Tarnwick::Sort(Text, Operation.Id);
  }
}

std::u16string Run(const TOperation& Operation, std::u16string&& Text) {
  if (Operation.Id >= 10) return Run(Operation, static_cast<const std::u16string&>(Text));
  return Tarnwick::Sort(std::move(Text), static_cast<uint8_t>(Operation.Id));
}

bool RunOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes,
                const TMarks* Marks) {
  // Reversal and the duplicate commands decide only at CR and LF, which are single bytes in
  // UTF-8 and in no other character's bytes, and compare lines for equality, which the bytes
  // of valid UTF-8 decide as the UTF-16 code units do; the counts and the pattern's quoting
  // are ASCII. So on valid UTF-8 they give the bytes the round trip through UTF-16 gives, at
  // a fraction of the cost. An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise,
  // and such a mark is not valid UTF-8.
  if (Operation.Id < 9) return false;
  size_t Base = 0;
  if (Encoding.Family == Codec::TFamily::fmUtf8) {
    Base = Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
    if (!TextPieces::IsUtf8(std::string_view(Bytes).substr(Base))) return false;
  } else if (!RunsOnLegacyBytes(Operation, Encoding, Bytes, Marks)) {
    return false;
  }
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  switch (Operation.Id) {
    case 9:
      if (Base == 0) {
        LineReversal::ReverseLinesInPlace(Bytes);
      } else {
        Bytes = WithMark(LineReversal::ReverseLines(Body), Base);
      }
      break;
    case 10:
      Bytes.resize(Base + Tarnwick::DuplicationDeleteInPlace(Bytes.data() + Base, Body.size()));
      break;
    case 11:
      Bytes = WithMark(Tarnwick::DuplicationDeleteCountDown(Body), Base);
      break;
    default:
      if (Marks != nullptr) {
        Bytes = WithMark(Marking::MarkText(Body, Marks->Open, Marks->Close, Marks->Plain), Base);
      } else {
        std::string Pattern = Tarnwick::DuplicationHighlightPattern(Body);
        Pattern += '\n';
        Bytes = std::move(Pattern);
      }
      break;
  }
  return true;
}

}  // namespace Operations
