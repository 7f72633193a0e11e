#include "cli/SortOnBytes.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "TemplateList/ListClone.h"
#include "base/Parallel.h"
#include "cli/SortWhereTheyLie.h"
#include "cli/TextPieces.h"
#include "commands/SortCommand.h"
#include "strings/LineScan.h"

namespace Operations {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

using StringRecordListNormalSort::TStringRecordListNormalSort;
using TextPieces::PieceSize;

// Cuts Body into lines, as the list cuts its UTF-16 text, into List; false when Body is
// refused in Encoding.
bool AddLines(std::string_view Body, const Codec::TEncoding& Encoding,
              TStringRecordListNormalSort& List) {
  return TextPieces::Decode(Body, Encoding, [&List](std::u16string_view Units) {
    LineScan::ForEachLine(Units, [&](const LineScan::TLine& Line) {
      List.Add(Units.substr(Line.Offset, Line.Length));
    });
  });
}

// Encodes lines From .. To - 1 of List, in order, into Out in Encoding.
void EncodeLines(const TStringRecordListNormalSort& List, int32_t From, int32_t To,
                 const Codec::TEncoding& Encoding, std::string& Out) {
  std::u16string Piece;
  auto Flush = [&](std::u16string_view Units) {
    // The lines were decoded from this encoding and are written back as the same bytes.
    if (!Codec::EncodeLines(Units, Encoding, Out)) {
      throw std::logic_error("lines decoded from the input did not encode");
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

// Appends the lines of List, in order, to Out in Encoding.
void AppendLines(const TStringRecordListNormalSort& List, const Codec::TEncoding& Encoding,
                 std::string& Out) {
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
      EncodeLines(List, Starts[P], Starts[P + 1], Encoding, Encoded[P]);
    });
    for (size_t P = 0; P < Count; ++P) Out += Encoded[P];
  }
}

}  // namespace

bool SortOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding,
                 std::string& Bytes) {
  if (Operation.Id < 1 || Operation.Id > 8) return false;
  if (!Codec::ConvertsByLine(Encoding)) return false;
  // An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise, and such a mark (FF FE
  // or FE FF) is not UTF-8: such a text is left at once.
  const bool Utf8 = Encoding.Family == Codec::TFamily::fmUtf8;
  if (Utf8 && !Bytes.empty() && (static_cast<unsigned char>(Bytes[0]) & 0xFE) == 0xFE) {
    return false;
  }
  // Sorted where the bytes lie when they can be; else converted to a list a piece at a time.
  if (SortWhereTheyLie(Operation, Encoding, Bytes)) return true;
  const size_t Base = Utf8 && Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);

  // The list is sized once, from the lines' lengths in bytes: no line has more UTF-16 code
  // units than bytes, and room never written costs no memory.
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
  // Input the common path refuses is left to it, which reports it.
  if (!AddLines(Body, Encoding, List)) return false;
  // The lines are the same bytes in any order; a last line without a break may take another
  // line's break, at most two bytes more.
  const size_t OutSize = Bytes.size() + 2;
  std::string().swap(Bytes);  // the file's bytes are not needed beside the lines

  Tarnwick::SortList(List, Operation.Id);

  std::string Out;
  Out.reserve(OutSize);
  if (Base > 0) Out = Utf8Mark;
  AppendLines(List, Encoding, Out);
  List.Clear();
  Bytes = std::move(Out);
  return true;
}

}  // namespace Operations
