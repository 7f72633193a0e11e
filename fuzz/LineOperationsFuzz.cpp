// Every line operation must give what the plain references give on the decoded text: the
// tool's paths on the bytes of a file (the sorts where the lines lie and through the line list,
// reversal, the duplicate commands and the marking, on UTF-8 and the Japanese legacy
// encodings) and the plug-in's commands on UTF-16. The fuzzer picks the operation, the
// encoding, the collation, the thread count, the piece sizes (a few bytes, so that a short
// text is cut into many pieces) and the text. Input the tool must refuse never takes a path on
// the bytes, and valid input always does where one exists.
#include "FuzzInput.h"
#include "LineOperations.h"
#include "cli/TextPieces.h"

// Data[0]: the operation and the marks; Data[1]: the encoding (the last choice is UTF-16 for
// the plug-in's commands alone), a byte-order mark, raw bytes; Data[2]: threads, collation, a
// sort's text given up; Data[3]: the piece sizes; then the text's tokens.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static constexpr Operations::TMarks MarkChoices[] = {{"* ", "", "  "},
                                                       {"\x1b[30;43m", "\x1b[0m", ""}};
  static constexpr size_t PieceSizes[] = {1, 2, 3, 5, 8, 16, 64, 0};
  static constexpr size_t ConverterPieces[] = {0, 4, 5, 7};
  if (Size < 4) return 0;
  const auto Id = static_cast<uint8_t>(1 + Data[0] % 12);
  const size_t MarkChoice = Data[0] / 12 % 3;
  const Operations::TMarks* Marks =
      Id == 12 && MarkChoice > 0 ? &MarkChoices[MarkChoice - 1] : nullptr;
  const size_t Encoding = (Data[1] & 0x3F) % (std::size(fuzz::Encodings) + 1);
  const bool Bom = (Data[1] & 0x80) != 0;
  const bool Raw = (Data[1] & 0x40) != 0;
  fuzz::ChooseThreadsAndCollation(Data[2]);
  const bool GiveUp = (Data[2] & 0x80) != 0;
  TextPieces::SetPieceSize(PieceSizes[Data[3] % std::size(PieceSizes)]);
  const size_t ConverterPiece = ConverterPieces[Data[3] / 8 % std::size(ConverterPieces)];
  Data += 4;
  Size -= 4;

  if (Encoding == std::size(fuzz::Encodings)) {
    const std::u16string Text = fuzz::AsLineText(Data, Size);
    fuzz::CheckOnText(Id, Marks, Text, fuzz::Reference(Id, Marks, Text), GiveUp);
    return 0;
  }
  const fuzz::TEncodingChoice& Choice = fuzz::Encodings[Encoding];
  const std::string Input = (Bom ? "\xEF\xBB\xBF" : "") + fuzz::Spell(Data, Size, Choice.Form, Raw);
  fuzz::CheckTool(*Operations::FindById(Id), Marks, Input, Choice.Name, ConverterPiece, GiveUp);
  return 0;
}
