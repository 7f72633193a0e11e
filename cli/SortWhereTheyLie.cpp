#include "cli/SortWhereTheyLie.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "TemplateList/ListClone.h"
#include "cli/Codec.h"
#include "cli/TextPieces.h"
#include "sorting/KeyedSort.h"
#include "strings/LineScan.h"

namespace Operations {

namespace {

using namespace StringRecordListNormalSort;

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

bool IsBreak(char C) { return C == '\r' || C == '\n'; }

// Where each of the Lines lines of Body starts, and then where Body ends.
std::vector<uint32_t> LineStarts(std::string_view Body, size_t Lines) {
  std::vector<uint32_t> Starts;
  Starts.reserve(Lines + 1);
  LineScan::ForEachLine(Body, [&](const LineScan::TLine& Line) {
    Starts.push_back(static_cast<uint32_t>(Line.Offset));
  });
  Starts.push_back(static_cast<uint32_t>(Body.size()));
  return Starts;
}

// The start of every 2^MarkShift-th line is kept (a mark), so that any line is found by a scan
// of a few lines: four bytes for 64 lines rather than for each.
constexpr unsigned MarkShift = 6;

// The marks of Body (the starts of lines 0, 64, 128, ...), and how many lines it has.
std::vector<uint32_t> LineMarks(std::string_view Body, size_t& Lines) {
  std::vector<uint32_t> Marks;
  Lines = 0;
  LineScan::ForEachLine(Body, [&](const LineScan::TLine& Line) {
    if ((Lines++ & ((size_t{1} << MarkShift) - 1)) == 0) {
      Marks.push_back(static_cast<uint32_t>(Line.Offset));
    }
  });
  return Marks;
}

// Where line I of Body starts, found from its marks; the end of Body for I past the last line.
size_t LineStartAt(std::string_view Body, const std::vector<uint32_t>& Marks, size_t I) {
  const size_t Mark = std::min(I >> MarkShift, Marks.size() - 1);
  size_t Start = Marks[Mark];
  for (size_t K = Mark << MarkShift; K < I && Start < Body.size(); ++K) {
    Start += LineScan::LineAt(Body, Start).Length;
  }
  return Start;
}

// The lines of a text in an encoding that converts by line. The sort reads them in runs while
// it makes their keys, each run found from the marks; the start of every line, four bytes a
// line (as much as a short line's text), is found only once a line is asked for by its number
// (when lines tie in the numeric order, or to put the lines in their new order), after the keys
// are made. The last line of a text that ends without a break is kept apart, with a break
// added, as the list gives it to the sort.
class TLinesOfBytes final : public TLineSource {
 public:
  TLinesOfBytes(std::string_view Body, std::vector<uint32_t> Marks, size_t Count,
                std::string_view Last, const Codec::TEncoding& Encoding)
      : FBody(Body),
        FMarks(std::move(Marks)),
        FCount(Count),
        FLast(Last),
        FEncoding(Encoding),
        FUtf8(Encoding.Family == Codec::TFamily::fmUtf8) {}

  size_t Count() const { return FCount; }

  // Where each line starts, then where the text ends; found on first use, by any thread.
  std::vector<uint32_t>& Starts() const {
    if (!FFound.load(std::memory_order_acquire)) {
      const std::lock_guard<std::mutex> Hold(FLock);
      if (!FFound.load(std::memory_order_relaxed)) {
        FStarts = LineStarts(FBody, FCount);
        FFound.store(true, std::memory_order_release);
      }
    }
    return FStarts;
  }

  // Line I's bytes, its break included.
  std::string_view Bytes(size_t I) const {
    if (I + 1 == Count() && !FLast.empty()) return FLast;
    const std::vector<uint32_t>& Found = Starts();
    return FBody.substr(Found[I], Found[I + 1] - Found[I]);
  }

  void ForEachText(size_t Begin, size_t End, const TVisit& Visit) const override {
    std::u16string Scratch;
    size_t Start = LineStartAt(FBody, FMarks, Begin);
    for (size_t I = Begin; I < End; ++I) {
      std::string_view In = FLast;
      if (I + 1 != Count() || FLast.empty()) {
        In = FBody.substr(Start, LineScan::LineAt(FBody, Start).Length);
        Start += In.size();
      }
      Visit(I, Decode(In, Scratch));
    }
  }

  std::u16string_view Text(size_t I, std::u16string& Scratch) const override {
    return Decode(Bytes(I), Scratch);
  }

  // Lines with equal bytes are those with equal text: UTF-8, or checked to be written back as
  // the same bytes.
  bool Same(size_t I, size_t J) const override { return Bytes(I) == Bytes(J); }

  // No line has more code units than bytes; the last line may have two more for its break.
  size_t UnitsAtMost(size_t Begin, size_t End) const override {
    return LineStartAt(FBody, FMarks, End) - LineStartAt(FBody, FMarks, Begin) + 2;
  }

 private:
  std::u16string_view Decode(std::string_view In, std::u16string& Scratch) const {
    if (!FUtf8) {
      // A legacy encoding through its converter, which each thread keeps open.
      Codec::DecodeAcceptedLines(In, FEncoding, Scratch);
      return Scratch;
    }
    // The sort asks for each line two or three times (numbers or length, key, the size of
    // the keys' room), a few dozen bytes each time: the converter's cost per call outweighed
    // the conversion of Japanese lines. The whole text was checked before the sort began, so
    // every sequence here is well-formed and is decoded without checks.
    Scratch.resize(In.size());  // no line has more code units than bytes
    char16_t* const Out = Scratch.data();
    const auto* P = reinterpret_cast<const unsigned char*>(In.data());
    const auto* const End = P + In.size();
    size_t O = 0;
    while (P < End) {
      const unsigned Lead = *P;
      if (Lead < 0x80) {
        Out[O++] = static_cast<char16_t>(Lead);
        P += 1;
      } else if (Lead < 0xE0) {
        Out[O++] = static_cast<char16_t>((Lead & 0x1F) << 6 | (P[1] & 0x3F));
        P += 2;
      } else if (Lead < 0xF0) {
        Out[O++] = static_cast<char16_t>((Lead & 0x0F) << 12 | (P[1] & 0x3F) << 6 | (P[2] & 0x3F));
        P += 3;
      } else {
        const uint32_t Point =
            ((Lead & 0x07) << 18 | (P[1] & 0x3F) << 12 | (P[2] & 0x3F) << 6 | (P[3] & 0x3F)) -
            0x10000;
        Out[O++] = static_cast<char16_t>(0xD800 + (Point >> 10));
        Out[O++] = static_cast<char16_t>(0xDC00 + (Point & 0x3FF));
        P += 4;
      }
    }
    Scratch.resize(O);
    return Scratch;
  }

  std::string_view FBody;
  std::vector<uint32_t> FMarks;
  size_t FCount;
  mutable std::vector<uint32_t> FStarts;
  mutable std::atomic<bool> FFound{false};  // whether FStarts holds the starts
  mutable std::mutex FLock;                 // held while they are found
  std::string_view FLast;
  const Codec::TEncoding& FEncoding;
  bool FUtf8;
};

}  // namespace

bool SortWhereTheyLie(const TOperation& Operation, const Codec::TEncoding& Encoding,
                      std::string& Bytes) {
  if (Operation.Id < 1 || Operation.Id > 8 || !Codec::ConvertsByLine(Encoding)) return false;
  // Where the platform's keys do not order as its comparison, the list's comparator sort
  // decides.
  if (DefaultSortEngine != TSortEngine::seKeyed) return false;
  static constexpr TSortKind Kinds[] = {skText, skReverseText, skNumeric, skByteLength};
  const TSortKind Kind = Kinds[(Operation.Id - 1) / 2];
  const TSortOrder Order = (Operation.Id - 1) % 2 == 0 ? soAscending : soDescending;

  const bool Utf8 = Encoding.Family == Codec::TFamily::fmUtf8;
  const size_t Base = Utf8 && Bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
  const std::string_view Body = std::string_view(Bytes).substr(Base);
  // Where each line starts, in 32 bits: a larger text takes the other path.
  if (Body.size() >= UINT32_MAX) return false;
  size_t Lines = 0;
  std::vector<uint32_t> Marks = LineMarks(Body, Lines);
  if (Lines == 0) return false;
  // A text of too many lines is refused by the common path, with its message.
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) return false;
  // Input the common path refuses is left to it, which reports it. Either encoding is checked
  // a piece of lines per thread, a legacy one as the common path checks it.
  if (Utf8 ? !TextPieces::IsUtf8(Body) : !TextPieces::StandsForText(Body, Encoding, "")) {
    return false;
  }

  // Every line compares with its break, so a last line without one takes, for the sort, the
  // break of the line before it (CR LF for a text of one line), which the line that ends up
  // last then loses.
  std::string Last;
  const bool Added = !IsBreak(Body.back());
  const size_t LastStart = LineStartAt(Body, Marks, Lines - 1);
  if (Added) {
    std::string_view Break = "\r\n";
    if (Lines >= 2) {
      const size_t BeforeStart = LineStartAt(Body, Marks, Lines - 2);
      const std::string_view Before = Body.substr(BeforeStart, LastStart - BeforeStart);
      Break = Before.ends_with("\r\n") ? "\r\n" : Before.substr(Before.size() - 1);
    }
    Last.assign(Body.substr(LastStart));
    Last += Break;
  }
  const TLinesOfBytes Source(Body, std::move(Marks), Lines, Last, Encoding);

  // Once sorted, the lines' starts are put in their new order in place of the starts by line,
  // through the sort's own memory, so that no array of the order is held beside them. The
  // line at each start is then found again by its break.
  std::vector<uint32_t>* Placed = nullptr;
  try {
    const bool Sorted = KeyedSortOrder(Source, static_cast<int32_t>(Lines), Kind, Order,
                                       [&Source, &Placed](std::span<uint32_t> Order) {
                                         std::vector<uint32_t>& Starts = Source.Starts();
                                         for (uint32_t& Line : Order) Line = Starts[Line];
                                         std::copy(Order.begin(), Order.end(), Starts.begin());
                                         Placed = &Starts;
                                       });
    if (!Sorted) return false;
  } catch (const std::bad_alloc&) {
    // The list's sort, which needs less beside its lines, may still have room.
    return false;
  }

  // The lines are the same bytes in any order; the added break may be longer than the one
  // the last line loses, by a byte.
  std::string Out;
  Out.reserve(Bytes.size() + 2);
  Out.append(Bytes, 0, Base);
  size_t LastBegin = Out.size();
  for (size_t K = 0; K < Lines; ++K) {
    LastBegin = Out.size();
    const uint32_t Start = (*Placed)[K];
    if (Added && Start == LastStart) {
      Out += Last;
    } else {
      const LineScan::TLine Line = LineScan::LineAt(Body, Start);
      Out.append(Body.data() + Line.Offset, Line.Length);
    }
  }
  if (Added) {
    while (Out.size() > LastBegin && IsBreak(Out.back())) Out.pop_back();
  }
  Bytes = std::move(Out);
  return true;
}

}  // namespace Operations
