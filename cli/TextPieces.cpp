#include "cli/TextPieces.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "base/Parallel.h"
#include "cli/CodecUnicode.h"
#include "strings/LineScan.h"
#include "strings/Utf8.h"

namespace TextPieces {

size_t PieceSize = DefaultPieceSize;

void SetPieceSize(size_t Units) { PieceSize = Units == 0 ? DefaultPieceSize : Units; }

size_t PieceEnd(std::string_view Body, size_t Begin) {
  const size_t End = std::min(Begin + PieceSize, Body.size());
  if (End == Body.size()) return End;
  const LineScan::TLine Last = LineScan::LineAt(Body, End - 1);
  return Last.Offset + Last.Length;
}

namespace {

// Cuts up to Most pieces of Body, from Begin on, into Parts; returns where the last one ends.
size_t CutPieces(std::string_view Body, size_t Begin, size_t Most,
                 std::vector<std::string_view>& Parts) {
  Parts.clear();
  while (Parts.size() < Most && Begin < Body.size()) {
    const size_t End = PieceEnd(Body, Begin);
    Parts.push_back(Body.substr(Begin, End - Begin));
    Begin = End;
  }
  return Begin;
}

}  // namespace

bool IsUtf8(std::string_view Body) {
  // A piece ends after a break, an ASCII byte, so no sequence crosses into the next piece.
  // Nothing comes back in order, so every piece is handed out at once.
  std::vector<std::string_view> Parts;
  CutPieces(Body, 0, SIZE_MAX, Parts);
  std::atomic<bool> Invalid{false};
  Parallel::ForEachPart(Parts.size(), [&](size_t P) {
    if (Invalid.load(std::memory_order_relaxed)) return;
    if (Utf8::FirstInvalid(Parts[P]) != std::string_view::npos) Invalid = true;
  });
  return !Invalid;
}

bool Decode(std::string_view Body, const Codec::TEncoding& Encoding,
            const std::function<void(std::u16string_view)>& Take) {
  // The threads decode a piece each, in turn with Take, which takes the pieces in order.
  const size_t Threads = std::max(1u, Parallel::ThreadCount());
  std::vector<std::string_view> Parts;
  std::vector<std::u16string> Pieces(Threads);
  for (size_t Begin = 0; Begin < Body.size();) {
    Begin = CutPieces(Body, Begin, Threads, Parts);
    const size_t Count = Parts.size();
    std::atomic<bool> Refused{false};
    Parallel::ForEachPart(Count, [&](size_t P) {
      if (!Codec::DecodeLines(Parts[P], Encoding, Pieces[P])) Refused = true;
    });
    if (Refused) return false;
    for (size_t P = 0; P < Count; ++P) Take(Pieces[P]);
  }
  return true;
}

bool StandsForText(std::string_view Body, const Codec::TEncoding& Encoding,
                   std::string_view Added) {
  std::string Written;
  if (!Codec::EncodeLines(std::u16string(Added.begin(), Added.end()), Encoding, Written) ||
      Written != Added) {
    return false;
  }
  return Decode(Body, Encoding, [](std::u16string_view) {});
}

std::u16string DecodeText(std::string_view Bytes, Codec::TEncoding& Encoding) {
  if (Encoding.Family != Codec::TFamily::fmOther || !Codec::ConvertsByLine(Encoding)) {
    return Codec::Decode(Bytes, Encoding);
  }
  // No piece has more code units than bytes; room never written costs no memory.
  std::u16string Text;
  Text.reserve(Bytes.size());
  if (Decode(Bytes, Encoding, [&Text](std::u16string_view Units) { Text += Units; })) {
    return Text;
  }
  // The whole text is refused exactly when a piece is; the common decoding reports where.
  std::u16string().swap(Text);
  return Codec::Decode(Bytes, Encoding);
}

}  // namespace TextPieces
