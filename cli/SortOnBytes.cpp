#include "cli/SortOnBytes.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "TemplateList/ListClone.h"
#include "base/Parallel.h"
#include "cli/CodecUnicode.h"
#include "cli/SortUtf8Lines.h"
#include "commands/SortCommand.h"
#include "strings/LineScan.h"

namespace Operations {

namespace {

// The UTF-8 bytes, or UTF-16 code units, a thread converts at a time: small enough to stay in
// the processor's cache, large enough that the converter's cost per call does not count. The
// threads convert a piece each, in turn with the list, which takes or gives the lines in order.
constexpr size_t PieceSize = size_t{1} << 16;

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

using StringRecordListNormalSort::TStringRecordListNormalSort;

// Where the piece of Body that starts at Begin ends: at the end of the line that holds its
// last byte (a CR LF stays whole), so that the lines of the pieces are the lines of the whole.
size_t PieceEnd(std::string_view Body, size_t Begin) {
  const size_t End = std::min(Begin + PieceSize, Body.size());
  if (End == Body.size()) return End;
  const LineScan::TLine Last = LineScan::LineAt(Body, End - 1);
  return Last.Offset + Last.Length;
}

// Cuts Body into lines, as the list cuts its UTF-16 text, into List; false when Body is not
// valid UTF-8.
bool AddLines(std::string_view Body, TStringRecordListNormalSort& List) {
  const size_t Threads = std::max(1u, Parallel::ThreadCount());
  std::vector<std::string_view> Parts(Threads);
  std::vector<std::u16string> Pieces(Threads);
  for (size_t Begin = 0; Begin < Body.size();) {
    size_t Count = 0;
    for (; Count < Threads && Begin < Body.size(); ++Count) {
      const size_t End = PieceEnd(Body, Begin);
      Parts[Count] = Body.substr(Begin, End - Begin);
      Begin = End;
    }
    std::atomic<bool> Invalid{false};
    Parallel::ForEachPart(Count, [&](size_t P) {
      if (!Codec::Unicode::DecodeUtf8(Parts[P], Pieces[P])) Invalid = true;
    });
    if (Invalid) return false;
    for (size_t P = 0; P < Count; ++P) {
      const std::u16string_view Units = Pieces[P];
      LineScan::ForEachLine(Units, [&](const LineScan::TLine& Line) {
        List.Add(Units.substr(Line.Offset, Line.Length));
      });
    }
  }
  return true;
}

// Encodes lines From .. To - 1 of List, in order, into Out in UTF-8.
void EncodeLines(const TStringRecordListNormalSort& List, int32_t From, int32_t To,
                 std::string& Out) {
  std::u16string Piece;
  auto Flush = [&Out](std::u16string_view Units) {
    // The lines came from valid UTF-8, so no surrogate is unpaired.
    if (!Codec::Unicode::EncodeUtf8(Units, Out)) {
      throw std::logic_error("lines decoded from UTF-8 did not encode");
    }
  };
  for (int32_t I = From; I < To; ++I) {
    const std::u16string_view Line = List.ItemRef(I);
    if (Piece.size() + Line.size() > PieceSize) {
      Flush(Piece);
      Piece.clear();
    }
    if (Line.size() > PieceSize) {
      Flush(Line);
    } else {
      Piece += Line;
    }
  }
  Flush(Piece);
}

// Appends the lines of List, in order, to Out in UTF-8.
void AppendLines(const TStringRecordListNormalSort& List, std::string& Out) {
  const size_t Threads = std::max(1u, Parallel::ThreadCount());
  std::vector<int32_t> Starts(Threads + 1);
  std::vector<std::string> Encoded(Threads);
  for (int32_t I = 0; I < List.Count();) {
    // Up to one run of lines of about a piece's units for each thread.
    size_t Count = 0;
    for (; Count < Threads && I < List.Count(); ++Count) {
      Starts[Count] = I;
      for (size_t Units = 0; I < List.Count() && Units < PieceSize; ++I) {
        Units += List.ItemRef(I).size();
      }
    }
    Starts[Count] = I;
    Parallel::ForEachPart(Count, [&](size_t P) {
      Encoded[P].clear();
      EncodeLines(List, Starts[P], Starts[P + 1], Encoded[P]);
    });
    for (size_t P = 0; P < Count; ++P) Out += Encoded[P];
  }
}

}  // namespace

bool SortOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding,
                 std::string& Bytes) {
  if (Operation.Id < 1 || Operation.Id > 8) return false;
  // An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise, and such a mark is not
  // valid UTF-8.
  if (!Encoding.Name.empty() && Encoding.Family != Codec::TFamily::fmUtf8) return false;
  // A UTF-16 mark (FF FE or FE FF) is not UTF-8: such a text is left at once.
  if (!Bytes.empty() && (static_cast<unsigned char>(Bytes[0]) & 0xFE) == 0xFE) return false;
  // Sorted where they lie when they can be; else converted to a list a piece at a time.
  if (SortUtf8Lines(Operation, Bytes)) return true;
  const size_t Base = Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);

  // The list is sized once, from the lines' UTF-8 lengths: no line has more UTF-16 code
  // units than UTF-8 bytes, and room never written costs no memory.
  size_t Lines = 0;
  size_t CellBytes = 0;
  LineScan::ForEachLine(Body, [&](const LineScan::TLine& Line) {
    ++Lines;
    CellBytes += StringRecordList::TLineArena::CellSize(Line.Length);
  });
  // A text of too many lines is refused by the common path, with its message.
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) return false;
  StringRecordListNormalSort::TStringRecordListNormalSort List;
  List.Expect(static_cast<int32_t>(Lines), CellBytes);
  // Invalid UTF-8 is left to the common path, which reports it.
  if (!AddLines(Body, List)) return false;
  // The lines are the same bytes in any order; a last line without a break may take another
  // line's break, at most two bytes more.
  const size_t OutSize = Bytes.size() + 2;
  std::string().swap(Bytes);  // the file's bytes are not needed beside the lines

  Tarnwick::SortList(List, Operation.Id);

  std::string Out;
  Out.reserve(OutSize);
  if (Base > 0) Out = Utf8Mark;
  AppendLines(List, Out);
  List.Clear();
  Bytes = std::move(Out);
  return true;
}

}  // namespace Operations
