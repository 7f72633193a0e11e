// The sorts and reversal on texts of thousands of lines, where the sort splits its work among
// the threads and each of the tool's pieces holds many lines: the tool's paths on the bytes and
// the plug-in's commands must give what the plain reference gives. The fuzzer picks a block of
// text, repeated to make the large text, the operation, the encoding, the collation, the
// thread count and the piece size.
#include "LineOperations.h"
#include "cli/TextPieces.h"

// Data[0]: the operation; Data[1]: the encoding, a byte-order mark; Data[2]: threads,
// collation, a sort's text given up; Data[3]: the piece size and the number of lines; then the
// block's tokens.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static constexpr size_t PieceSizes[] = {1024, 4096, 16384, 0};
  // The keyed sort splits its records among the threads from 4096 lines on, its keys from 8192.
  static constexpr size_t LineCounts[] = {4200, 8400};
  static constexpr size_t MostBytes = size_t{1} << 19;
  if (Size < 4) return 0;
  const auto Id = static_cast<uint8_t>(1 + Data[0] % 9);
  const fuzz::TEncodingChoice& Choice =
      fuzz::Encodings[(Data[1] & 0x7F) % std::size(fuzz::Encodings)];
  const bool Bom = (Data[1] & 0x80) != 0;
  fuzz::ChooseThreadsAndCollation(Data[2]);
  const bool GiveUp = (Data[2] & 0x80) != 0;
  TextPieces::SetPieceSize(PieceSizes[Data[3] % std::size(PieceSizes)]);
  const size_t Lines = LineCounts[Data[3] / 4 % std::size(LineCounts)];

  const std::string Block = fuzz::Spell(Data + 4, Size - 4, Choice.Form, false);
  const size_t Breaks =
      std::count(Block.begin(), Block.end(), '\n') + std::count(Block.begin(), Block.end(), '\r');
  if (Breaks == 0) return 0;
  std::string Input = Bom ? "\xEF\xBB\xBF" : "";
  for (size_t Made = 0; Made < Lines && Input.size() < MostBytes; Made += Breaks) Input += Block;
  fuzz::CheckTool(*Operations::FindById(Id), nullptr, Input, Choice.Name, 0, GiveUp);
  return 0;
}
