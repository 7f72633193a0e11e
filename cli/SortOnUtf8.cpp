#include "cli/SortOnUtf8.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "TemplateList/ListClone.h"
#include "cli/CodecUnicode.h"
#include "commands/SortCommand.h"
#include "strings/LineScan.h"

namespace Operations {

namespace {

// The UTF-8 bytes, or UTF-16 code units, converted at a time: small enough to stay in the
// processor's cache, large enough that the converter's cost per call does not count.
constexpr size_t PieceSize = size_t{1} << 16;

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// Cuts Body into lines, as the list cuts its UTF-16 text, into List. Pieces of the bytes end
// where lines end, so that each piece's lines are the lines of the whole.
void AddLines(std::string_view Body,
              StringRecordListNormalSort::TStringRecordListNormalSort& List) {
  std::u16string Piece;
  for (size_t Begin = 0; Begin < Body.size();) {
    size_t End = std::min(Begin + PieceSize, Body.size());
    if (End < Body.size()) {
      // To the end of the line that holds the piece's last byte (a CR LF stays whole).
      const LineScan::TLine Last = LineScan::LineAt(Body, End - 1);
      End = Last.Offset + Last.Length;
    }
    if (!Codec::Unicode::DecodeUtf8(Body.substr(Begin, End - Begin), Piece)) {
      throw std::logic_error("UTF-8 checked as valid did not decode");
    }
    const std::u16string_view Units = Piece;
    LineScan::ForEachLine(Units, [&](const LineScan::TLine& Line) {
      List.Add(Units.substr(Line.Offset, Line.Length));
    });
    Begin = End;
  }
}

// Appends the lines of List, in order, to Out in UTF-8.
void AppendLines(const StringRecordListNormalSort::TStringRecordListNormalSort& List,
                 std::string& Out) {
  std::u16string Piece;
  auto Flush = [&Out](std::u16string_view Units) {
    // The lines came from valid UTF-8, so no surrogate is unpaired.
    if (!Codec::Unicode::EncodeUtf8(Units, Out)) {
      throw std::logic_error("lines decoded from UTF-8 did not encode");
    }
  };
  for (int32_t I = 0; I < List.Count(); ++I) {
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

}  // namespace

bool SortOnUtf8(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes) {
  if (Operation.Id < 1 || Operation.Id > 8) return false;
  // An unnamed encoding is UTF-8 unless a UTF-16 mark says otherwise, and such a mark is not
  // valid UTF-8.
  if (!Encoding.Name.empty() && Encoding.Family != Codec::TFamily::fmUtf8) return false;
  const size_t Base = Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  if (Codec::Unicode::FirstInvalidUtf8(Body) != std::string_view::npos) return false;

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
  AddLines(Body, List);
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
