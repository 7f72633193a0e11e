// Maps the tool's operation names to the line commands the plug-in runs for the same menu item.
#include "cli/Operations.h"

#include <array>
#include <utility>

#include "cli/KeyedLines.h"
#include "cli/LineDecoders.h"
#include "cli/Marking.h"
#include "cli/Messages.h"
#include "cli/TextPieces.h"
#include "commands/CommandId.h"
#include "commands/LineCommands.h"
#include "commands/LineReversal.h"
#include "commands/LineShuffle.h"
#include "sorting/SortWhereTheyLie.h"
#include "strings/LineScan.h"
#include "strings/Utf8.h"

namespace Operations {
namespace {

using LineDecoders::TLegacyLines;
using LineDecoders::TUtf8Lines;

using Messages::ForTranslation;

constexpr std::array<TOperation, 13> kOperations{{
    {"sort", Tarnwick::ciSortAscending, ForTranslation("sort ascending, dictionary order")},
    {"sort-desc", Tarnwick::ciSortDescending, ForTranslation("sort descending, dictionary order")},
    {"sort-rev", Tarnwick::ciReverseTextAscending,
     ForTranslation("sort ascending, dictionary order reading each line from its end")},
    {"sort-rev-desc", Tarnwick::ciReverseTextDescending,
     ForTranslation("sort descending, dictionary order reading each line from its end")},
    {"sort-numeric", Tarnwick::ciNumericAscending,
     ForTranslation("sort ascending by the integer in each line")},
    {"sort-numeric-desc", Tarnwick::ciNumericDescending,
     ForTranslation("sort descending by the integer in each line")},
    {"sort-length", Tarnwick::ciByteLengthAscending,
     ForTranslation("sort ascending by length in bytes")},
    {"sort-length-desc", Tarnwick::ciByteLengthDescending,
     ForTranslation("sort descending by length in bytes")},
    {"reverse", Tarnwick::ciReverse, ForTranslation("reverse the order of the lines")},
    {"dedupe", Tarnwick::ciDuplicationDelete,
     ForTranslation("delete lines that repeat an earlier line")},
    {"count", Tarnwick::ciDuplicationCount,
     ForTranslation("each distinct line once with \":\" and its count, most frequent first")},
    {"highlight", Tarnwick::ciDuplicationHighlight,
     ForTranslation("print the editor's pattern for the repeated lines (--mark: show them)")},
    {"shuffle", NotInMenu, ForTranslation("the lines in random order (--seed N repeats an order)")},
}};

using namespace Tarnwick;

// Output, with the UTF-8 byte-order mark in front when the input had one (Base != 0).
std::string WithMark(std::string&& Output, size_t Base) {
  if (Base != 0) Output.insert(0, Codec::Utf8Mark);
  return std::move(Output);
}

std::u16string Widen(std::string_view Ascii) { return {Ascii.begin(), Ascii.end()}; }

// True when Operation may run on Bytes in Encoding, a legacy encoding, as on UTF-8: the
// encoding converts by line (so CR and LF are single bytes in no other character), the bytes
// decode and are written back as themselves (so lines with equal bytes are those with equal
// text), and what the command adds is ASCII written as itself (":" and the count, the marks).
// Not the highlight pattern: its quoting looks for "\E" in the bodies, and in Shift_JIS the
// byte of "\" is also the second byte of characters such as "ソ".
bool RunsOnLegacyBytes(const TOperation& Operation, const Codec::TEncoding& Encoding,
                       std::string_view Bytes, const TMarks* Marks) {
  if (!Codec::ConvertsByLine(Encoding) ||
      (Operation.Id == ciDuplicationHighlight && Marks == nullptr)) {
    return false;
  }
  std::string Added = Operation.Id == ciDuplicationCount ? ":0123456789" : "";
  if (Operation.Id == ciDuplicationHighlight) {
    Added.append(Marks->Open).append(Marks->Close).append(Marks->Plain);
  }
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
    if (op.Id == Id && op.Id != NotInMenu) return &op;
  return nullptr;
}

std::u16string Run(const TOperation& Operation, std::u16string&& Text, const TChoices& Choices) {
  const bool Keyed = Choices.Key.Active();
  if ((Keyed || Choices.Ties != LineTies::tiAsSorted) && ComparesLines(Operation.Id)) {
    return KeyedLines::Sort(Text, *SortCommandOf(Operation.Id), Choices.Key, Choices.Ties);
  }
  switch (Operation.Id) {
    case NotInMenu:
      return LineShuffle::ShuffleLines(Text, Choices.Seed);
    case ciDuplicationDelete:
      if (Keyed) {
        Text.resize(KeyedLines::Dedupe(Text.data(), Text.size(), Choices.Key, Choices.Only));
        return std::move(Text);
      }
      return Choices.Only ? DuplicationSelect(Text, *Choices.Only) : DuplicationDelete(Text);
    case ciDuplicationCount:
      return Keyed ? KeyedLines::Count(Text, Choices.Key) : DuplicationDeleteCountDown(Text);
    case ciDuplicationHighlight:
      return Keyed ? KeyedLines::Pattern(Text, Choices.Key) : DuplicationHighlightPattern(Text);
    default:
      return Sort(std::move(Text), Operation.Id);
  }
}

bool RunOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes,
                const TMarks* Marks, const TChoices& Choices) {
  // Reversal and the duplicate commands decide only at CR and LF, which are single bytes in
  // UTF-8 and in no other character's bytes, and compare lines for equality, which the bytes
  // of valid UTF-8 decide as the UTF-16 code units do; the counts and the pattern's quoting
  // are ASCII. So on valid UTF-8 they give the bytes the round trip through UTF-16 gives, at
  // a fraction of the cost. An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise,
  // and such a mark is not valid UTF-8.
  if (Operation.Id != NotInMenu && Operation.Id < ciReverse) return false;
  // Lines compared by a key: dedupe and count decode each line of UTF-8 for its key alone; the
  // other encodings and the highlight are left to the decoded text.
  const bool Keyed = Choices.Key.Active();
  if (Keyed && Operation.Id >= ciDuplicationDelete &&
      (Operation.Id == ciDuplicationHighlight || Encoding.Family != Codec::TFamily::fmUtf8)) {
    return false;
  }
  const size_t Base = Codec::Utf8MarkLength(Bytes, Encoding);
  if (Keyed && (Operation.Id == ciDuplicationDelete || Operation.Id == ciDuplicationCount)) {
    // These check each line's bytes as they key it, rather than the whole text first.
    const std::string_view Body = std::string_view(Bytes).substr(Base);
    if (Operation.Id == ciDuplicationDelete) {
      const std::optional<size_t> Kept =
          KeyedLines::Dedupe(Bytes.data() + Base, Body.size(), Choices.Key, Choices.Only);
      if (!Kept) return false;
      Bytes.resize(Base + *Kept);
    } else {
      std::optional<std::string> Counts = KeyedLines::Count(Body, Choices.Key);
      if (!Counts) return false;
      Bytes = WithMark(std::move(*Counts), Base);
    }
    return true;
  }
  if (Encoding.Family == Codec::TFamily::fmUtf8) {
    if (!TextPieces::IsUtf8(std::string_view(Bytes).substr(Base))) return false;
  } else if (!RunsOnLegacyBytes(Operation, Encoding, Bytes, Marks)) {
    return false;
  }
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  switch (Operation.Id) {
    case NotInMenu:
      Bytes = WithMark(LineShuffle::ShuffleLines(Body, Choices.Seed), Base);
      break;
    case ciReverse:
      if (Base == 0) {
        LineReversal::ReverseLinesInPlace(Bytes);
      } else {
        Bytes = WithMark(LineReversal::ReverseLines(Body), Base);
      }
      break;
    case ciDuplicationDelete:
      if (Choices.Only) {
        Bytes = WithMark(DuplicationSelect(Body, *Choices.Only), Base);
      } else {
        Bytes.resize(Base + DuplicationDeleteInPlace(Bytes.data() + Base, Body.size()));
      }
      break;
    case ciDuplicationCount:
      Bytes = WithMark(DuplicationDeleteCountDown(Body), Base);
      break;
    default:
      if (Marks != nullptr) {
        Bytes = WithMark(Marking::MarkText(Body, Marks->Open, Marks->Close, Marks->Plain), Base);
      } else {
        std::string Pattern = DuplicationHighlightPattern(Body);
        Pattern += '\n';
        Bytes = std::move(Pattern);
      }
      break;
  }
  return true;
}

bool SortOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes,
                 const TChoices& Choices) {
  const std::optional<TSortCommand> Command = SortCommandOf(Operation.Id);
  if (!ComparesLines(Operation.Id) || !Codec::ConvertsByLine(Encoding)) return false;
  const bool IsUtf8 = Encoding.Family == Codec::TFamily::fmUtf8;
  // An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise, and such a mark (FF FE
  // or FE FF) is not UTF-8: such a text is left at once.
  if (IsUtf8 && !Bytes.empty() && (static_cast<unsigned char>(Bytes[0]) & 0xFE) == 0xFE) {
    return false;
  }
  const size_t Base = Codec::Utf8MarkLength(Bytes, Encoding);
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  // Input the common path refuses is left to it, which reports it. Either encoding is checked
  // a piece of lines per thread, a legacy one as the common path checks it.
  if (IsUtf8 ? !TextPieces::IsUtf8(Body) : !TextPieces::StandsForText(Body, Encoding, "")) {
    return false;
  }
  // A text of one line or none is its own result, at once and without a second copy.
  if (LineScan::AtMostOneLine(Body)) return true;
  std::string Sorted;
  const TUtf8Lines Utf8;
  const TLegacyLines Legacy(Encoding);
  const KeyedSort::TLineDecoder& Decoder =
      IsUtf8 ? static_cast<const KeyedSort::TLineDecoder&>(Utf8) : Legacy;
  const bool Done = Choices.Key.Active() || Choices.Ties != LineTies::tiAsSorted
                        ? KeyedSort::SortWhereTheyLie(
                              Bytes, Base, KeyedLines::TKeyedDecoder(Decoder, Choices.Key),
                              Command->Kind, Command->Order, Sorted, Choices.Ties)
                        : KeyedSort::SortWhereTheyLie(Bytes, Base, Decoder, Command->Kind,
                                                      Command->Order, Sorted);
  if (Done) Bytes = std::move(Sorted);
  return Done;
}

std::string RunOnText(const TOperation& Operation, Codec::TEncoding Encoding, std::string&& Input,
                      const TMarks* Marks, const TChoices& Choices) {
  std::u16string Text = TextPieces::DecodeText(Input, Encoding);
  std::string().swap(Input);
  return RunAndEncode(Operation, Encoding, std::move(Text), Marks, Choices);
}

std::string RunAndEncode(const TOperation& Operation, Codec::TEncoding Encoding,
                         std::u16string&& Text, const TMarks* Marks, const TChoices& Choices) {
  std::u16string Result;
  if (Operation.Id == ciDuplicationHighlight && Marks != nullptr && Choices.Key.Active()) {
    Result = Marking::MarkText(Text, KeyedLines::Marked(Text, Choices.Key), Widen(Marks->Open),
                               Widen(Marks->Close), Widen(Marks->Plain));
  } else if (Operation.Id == ciDuplicationHighlight && Marks != nullptr) {
    Result = Marking::MarkText(Text, Widen(Marks->Open), Widen(Marks->Close), Widen(Marks->Plain));
  } else if (Operation.Id == ciDuplicationHighlight) {
    // The pattern is a line for another program (the editor's search), not a part of the
    // text: a byte-order mark before it would become part of its first alternative.
    Result = Run(Operation, std::move(Text), Choices) + u"\n";
    Encoding.Bom = false;
  } else {
    Result = Run(Operation, std::move(Text), Choices);
  }
  std::u16string().swap(Text);
  return Codec::Encode(Result, Encoding);
}

std::string RunOnFile(const TOperation& Operation, const Codec::TEncoding& Encoding,
                      std::string&& Input, const TMarks* Marks, const TChoices& Choices) {
  if (SortOnBytes(Operation, Encoding, Input, Choices) ||
      RunOnBytes(Operation, Encoding, Input, Marks, Choices)) {
    return std::move(Input);
  }
  return RunOnText(Operation, Encoding, std::move(Input), Marks, Choices);
}

}  // namespace Operations
