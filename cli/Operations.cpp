// Maps the tool's operation names to the line commands the plug-in runs for the same menu item.
#include "cli/Operations.h"

#include <array>
#include <utility>

#include "cli/CodecUnicode.h"
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

bool RunOnUtf8(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes) {
  // Reversal moves whole lines and decides only at CR and LF, which are single bytes in UTF-8
  // and in no other character's bytes: on valid UTF-8 it gives the bytes the round trip
  // through UTF-16 gives, at a fraction of the cost. An unnamed encoding is UTF-8 unless a
  // UTF-16 mark says otherwise, and such a mark is not valid UTF-8.
  if (Operation.Id != 9) return false;
  if (!Encoding.Name.empty() && Encoding.Family != Codec::TFamily::fmUtf8) return false;
  constexpr std::string_view Mark = "\xEF\xBB\xBF";
  const size_t Base = Bytes.starts_with(Mark) ? Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  if (Codec::Unicode::FirstInvalidUtf8(Body) != std::string_view::npos) return false;
  if (Base == 0) {
    LineReversal::ReverseLinesInPlace(Bytes);
  } else {
    Bytes = std::string(Mark) + LineReversal::ReverseLines(Body);
  }
  return true;
}

}  // namespace Operations
