#include "sorting/SortWhereTheyLie.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "TemplateList/ListClone.h"
#include "base/GrowString.h"
#include "base/Parallel.h"
#include "sorting/KeyedSort.h"
#include "strings/FinalBreak.h"
#include "strings/LineScan.h"
#include "strings/StringUnit.h"

namespace KeyedSort {

namespace {

template <class TUnit>
using TView = std::basic_string_view<TUnit>;

// The start of every 2^MarkShift-th line is kept (a mark), so that any line is found by a scan
// of a few lines: four bytes for 64 lines rather than for each.
constexpr unsigned MarkShift = 6;

// The marks of Body (the starts of lines 0, 64, 128, ...), and how many lines it has.
template <class TUnit>
std::vector<uint32_t> LineMarks(TView<TUnit> Body, size_t& Lines) {
  std::vector<uint32_t> Marks;
  size_t Line = 0;
  Lines = LineScan::ForEachLineStart(Body, [&](size_t Start) {
    if ((Line++ & ((size_t{1} << MarkShift) - 1)) == 0) {
      Marks.push_back(static_cast<uint32_t>(Start));
    }
  });
  return Marks;
}

// Where line I of Body starts, found from its marks; the end of Body for I past the last line.
template <class TUnit>
size_t LineStartAt(TView<TUnit> Body, const std::vector<uint32_t>& Marks, size_t I) {
  const size_t Mark = std::min(I >> MarkShift, Marks.size() - 1);
  size_t Start = Marks[Mark];
  for (size_t K = Mark << MarkShift; K < I && Start < Body.size(); ++K) {
    Start += LineScan::LineAt(Body, Start).Length;
  }
  return Start;
}

// How many marks a part of the scan for every line's start takes at least: 1K lines.
constexpr size_t StartsGrain = 16;

// How many lines a part of the sorted text's writing takes at least.
constexpr size_t OutputGrain = 16384;

// How many lines ahead the text is written fetches a line's units.
constexpr size_t OutputAhead = 16;

// Asks the processor to fetch the first units of the line at Start: its first two cache lines,
// which hold most lines whole.
template <class TUnit>
void PrefetchLine(TView<TUnit> Body, size_t Start) {
  const TUnit* const Units = Body.data() + Start;
  __builtin_prefetch(Units);
  if ((Body.size() - Start) * sizeof(TUnit) > 64) __builtin_prefetch(Units + 64 / sizeof(TUnit));
}

// The UTF-16 of a line for its keys: UTF-16 lines are their own, byte lines are decoded.
struct TAsIs {
  std::u16string_view Decode(std::u16string_view Line, std::u16string&) const { return Line; }
  std::u16string_view Whole(std::u16string_view Line, std::u16string&) const { return Line; }
  int32_t Measure(std::u16string_view Line, std::u16string&) const {
    return StringUnit::ByteLength(Line);
  }
};
struct TViewed {
  const TLineView& View;
  std::u16string_view Decode(std::u16string_view Line, std::u16string& Scratch) const {
    return View.View(Line, Scratch);
  }
  std::u16string_view Whole(std::u16string_view Line, std::u16string&) const { return Line; }
  int32_t Measure(std::u16string_view Line, std::u16string& Scratch) const {
    return View.Measure(Line, Scratch);
  }
};
struct TDecoded {
  const TLineDecoder& Decoder;
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const {
    return Decoder.Decode(Line, Scratch);
  }
  std::u16string_view Whole(std::string_view Line, std::u16string& Scratch) const {
    return Decoder.Whole(Line, Scratch);
  }
  int32_t Measure(std::string_view Line, std::u16string& Scratch) const {
    return Decoder.Measure(Line, Scratch);
  }
};

// The lines of a text, where they lie. The sort reads them in runs while it makes their keys,
// each run found from the marks; the start of every line, four bytes a line (as much as a short
// line's text), is found only once a line is asked for by its number (when lines tie in the
// numeric order, or to put the lines in their new order), after the keys are made. The last
// line of a text that ends without a break is kept apart with its borrowed break, as the list
// gives it to the sort.
template <class TUnit, class TDecode>
class TLinesWhereTheyLie final : public TLineSource {
 public:
  TLinesWhereTheyLie(TView<TUnit> Body, std::vector<uint32_t> Marks, size_t Count,
                     TView<TUnit> Last, TDecode Decode)
      : FBody(Body), FMarks(std::move(Marks)), FCount(Count), FLast(Last), FDecode(Decode) {}

  // Where each line starts, then where the text ends; found on first use, by any thread.
  // The first use comes inside a parallel step, whose other threads wait for the lock: the
  // scan runs on threads of its own, each from a run of marks, rather than on one thread.
  std::vector<uint32_t>& Starts() const {
    if (!FFound.load(std::memory_order_acquire)) {
      const std::lock_guard<std::mutex> Hold(FLock);
      if (!FFound.load(std::memory_order_relaxed)) {
        FStarts.resize(FCount + 1);
        const size_t Marks = FMarks.size();
        const size_t Parts = Parallel::PartCount(Marks, StartsGrain);
        Parallel::ForEachPart(Parts, [this, Marks, Parts](size_t P) {
          const size_t Begin = Parallel::PartBegin(Marks, Parts, P) << MarkShift;
          const size_t End =
              std::min(Parallel::PartBegin(Marks, Parts, P + 1) << MarkShift, FCount);
          // The part's lines run from its first mark to the next part's, or to the text's end.
          const size_t From = FMarks[Begin >> MarkShift];
          const size_t To = End < FCount ? FMarks[End >> MarkShift] : FBody.size();
          size_t I = Begin;
          LineScan::ForEachLineStart(FBody.substr(From, To - From), [&](size_t Start) {
            FStarts[I++] = static_cast<uint32_t>(From + Start);
          });
        });
        FStarts[FCount] = static_cast<uint32_t>(FBody.size());
        FFound.store(true, std::memory_order_release);
      }
    }
    return FStarts;
  }

  // Line I's units, its break included.
  TView<TUnit> Units(size_t I) const {
    if (I + 1 == FCount && !FLast.empty()) return FLast;
    const std::vector<uint32_t>& Found = Starts();
    return FBody.substr(Found[I], Found[I + 1] - Found[I]);
  }

  void ForEachText(size_t Begin, size_t End, const TVisit& Visit) const override {
    std::u16string Scratch;
    ForEachLine(Begin, End,
                [&](size_t I, TView<TUnit> In) { Visit(I, FDecode.Decode(In, Scratch)); });
  }

  void ForEachMeasure(size_t Begin, size_t End, const TMeasure& Measure) const override {
    std::u16string Scratch;
    ForEachLine(Begin, End,
                [&](size_t I, TView<TUnit> In) { Measure(I, FDecode.Measure(In, Scratch)); });
  }

  std::u16string_view Text(size_t I, std::u16string& Scratch) const override {
    return FDecode.Decode(Units(I), Scratch);
  }
  // Line I whole, and its measure, for the order of lines whose keys tie.
  std::u16string_view Whole(size_t I, std::u16string& Scratch) const {
    return FDecode.Whole(Units(I), Scratch);
  }
  int32_t MeasureOf(size_t I, std::u16string& Scratch) const {
    return FDecode.Measure(Units(I), Scratch);
  }

  // Lines with equal units are those with equal text: the bytes of a text that decodes are
  // written back as themselves.
  bool Same(size_t I, size_t J) const override { return Units(I) == Units(J); }
  size_t Hash(size_t I) const override { return std::hash<TView<TUnit>>{}(Units(I)); }

  void Prefetch(size_t I) const override {
    if (I + 1 < FCount || FLast.empty()) PrefetchLine(FBody, Starts()[I]);
  }

  // No line has more UTF-16 code units than units of its own; the last line may have two more
  // for its break.
  size_t UnitsAtMost(size_t Begin, size_t End) const override {
    return LineStartAt(FBody, FMarks, End) - LineStartAt(FBody, FMarks, Begin) + 2;
  }

 private:
  // Calls Visit(I, units of line I) for lines Begin .. End - 1, found from the marks.
  template <class TVisitUnits>
  void ForEachLine(size_t Begin, size_t End, TVisitUnits&& Visit) const {
    size_t Start = LineStartAt(FBody, FMarks, Begin);
    for (size_t I = Begin; I < End; ++I) {
      TView<TUnit> In = FLast;
      if (I + 1 != FCount || FLast.empty()) {
        In = FBody.substr(Start, LineScan::LineAt(FBody, Start).Length);
        Start += In.size();
      }
      Visit(I, In);
    }
  }

  TView<TUnit> FBody;
  std::vector<uint32_t> FMarks;
  size_t FCount;
  mutable std::vector<uint32_t> FStarts;
  mutable std::atomic<bool> FFound{false};  // whether FStarts holds the starts
  mutable std::mutex FLock;                 // held while they are found
  TView<TUnit> FLast;
  TDecode FDecode;
};

// The lines where they lie as the order of ties reads them.
template <class TSource>
class TTiesWhereTheyLie final : public LineTies::TTieLines {
 public:
  explicit TTiesWhereTheyLie(const TSource& Source) : FSource(Source) {}
  std::u16string_view Key(uint32_t I, std::u16string& Scratch) const override {
    return FSource.Text(I, Scratch);
  }
  int32_t Measure(uint32_t I, std::u16string& Scratch) const override {
    return FSource.MeasureOf(I, Scratch);
  }
  std::u16string_view Whole(uint32_t I, std::u16string& Scratch) const override {
    return FSource.Whole(I, Scratch);
  }

 private:
  const TSource& FSource;
};

template <class TUnit, class TDecode>
bool SortText(TView<TUnit> Text, size_t Base, TDecode Decode, TSortKind Kind, TSortOrder Order,
              std::basic_string<TUnit>& Sorted, LineTies::TTies Ties = LineTies::tiAsSorted) {
  const TView<TUnit> Body = Text.substr(Base);
  // Where each line starts, in 32 bits: a larger text takes the list.
  if (Body.size() >= UINT32_MAX) return false;
  FinalBreak::TFinalBreak<TUnit> Final;
  std::vector<uint32_t>* Placed = nullptr;
  size_t Lines = 0;
  size_t LastStart = 0;
  try {
    std::vector<uint32_t> Marks = LineMarks(Body, Lines);
    // A text of too many lines is left to the list, which refuses it with its message.
    if (Lines > static_cast<size_t>(ListClone::MaxListSize)) return false;
    if (Lines == 0) {
      Sorted.assign(Text);
      return true;
    }
    // Every line compares with its break: a last line without one is lent one for the sort.
    LastStart = LineStartAt(Body, Marks, Lines - 1);
    const size_t BeforeStart = Lines >= 2 ? LineStartAt(Body, Marks, Lines - 2) : LastStart;
    Final = FinalBreak::TFinalBreak<TUnit>(Body.substr(LastStart),
                                           Body.substr(BeforeStart, LastStart - BeforeStart));
    const bool Added = Final.Lent();
    const TView<TUnit> Last = Final.Last();
    const TLinesWhereTheyLie<TUnit, TDecode> Source(Body, std::move(Marks), Lines, Last, Decode);
    // Once sorted, the lines' starts are put in their new order in place of the starts by line,
    // through the sort's own memory, so that no array of the order is held beside them. The
    // line at each start is then found again by its break. The text is written in parts, one
    // a thread, each part's place known from the sizes of the lines before it, which the
    // starts by line give while they last.
    const size_t Parts = Parallel::PartCount(Lines, OutputGrain);
    std::vector<size_t> PartSizes(Parts);
    const bool Done =
        Sort(Source, static_cast<int32_t>(Lines), Kind, Order, [&](std::span<uint32_t> Ranked) {
          LineTies::Settle(Ranked, TTiesWhereTheyLie(Source), Kind, Order, Ties);
          std::vector<uint32_t>& Starts = Source.Starts();
          Parallel::ForEachPart(Parts, [&](size_t P) {
            size_t Size = 0;
            for (size_t K = Parallel::PartBegin(Lines, Parts, P);
                 K < Parallel::PartBegin(Lines, Parts, P + 1); ++K) {
              const uint32_t Line = Ranked[K];
              Size += Added && Line + 1 == Lines ? Last.size() : Starts[Line + 1] - Starts[Line];
              Ranked[K] = Starts[Line];
            }
            PartSizes[P] = Size;
          });
          Parallel::ForEachPart(Parts, [&](size_t P) {
            const size_t Begin = Parallel::PartBegin(Lines, Parts, P);
            const size_t End = Parallel::PartBegin(Lines, Parts, P + 1);
            std::copy(Ranked.begin() + static_cast<ptrdiff_t>(Begin),
                      Ranked.begin() + static_cast<ptrdiff_t>(End),
                      Starts.begin() + static_cast<ptrdiff_t>(Begin));
          });
          Placed = &Starts;
        });
    if (!Done) return false;
    // The lines are the same units in any order; the added break may be longer than the one
    // the last line loses, by a unit.
    std::vector<size_t> PartPlaces(Parts + 1, Base);
    for (size_t P = 0; P < Parts; ++P) PartPlaces[P + 1] = PartPlaces[P] + PartSizes[P];
    std::basic_string<TUnit> Out;
    Strings::GrowForWriting(Out, PartPlaces[Parts]);
    std::copy(Text.begin(), Text.begin() + static_cast<ptrdiff_t>(Base), Out.begin());
    const auto UnitsAt = [&](uint32_t Start) {
      return Added && Start == LastStart ? TView<TUnit>(Last)
                                         : Body.substr(Start, LineScan::LineAt(Body, Start).Length);
    };
    Parallel::ForEachPart(Parts, [&](size_t P) {
      TUnit* Place = Out.data() + PartPlaces[P];
      const size_t End = Parallel::PartBegin(Lines, Parts, P + 1);
      for (size_t K = Parallel::PartBegin(Lines, Parts, P); K < End; ++K) {
        // The lines lie scattered over the text in their new order, each read only to find its
        // break and copy it: fetching lines ahead overlaps their cache misses, which would
        // otherwise be waited for one line at a time.
        if (K + OutputAhead < End) PrefetchLine(Body, (*Placed)[K + OutputAhead]);
        const TView<TUnit> Units = UnitsAt((*Placed)[K]);
        Place = std::copy(Units.begin(), Units.end(), Place);
      }
    });
    const TView<TUnit> EndsLast = UnitsAt(Placed->at(Lines - 1));
    Out.resize(Out.size() - EndsLast.size() + Final.TakeBack(EndsLast).size());
    Sorted = std::move(Out);
    return true;
  } catch (const std::bad_alloc&) {
    // The list's sort, which needs less beside its lines, may still have room.
    return false;
  }
}

}  // namespace

bool SortWhereTheyLie(std::u16string_view Text, TSortKind Kind, TSortOrder Order,
                      std::u16string& Sorted) {
  return SortText(Text, 0, TAsIs{}, Kind, Order, Sorted);
}

int32_t TLineDecoder::Measure(std::string_view Line, std::u16string& Scratch) const {
  return StringUnit::ByteLength(Decode(Line, Scratch));
}

std::u16string_view TLineDecoder::Whole(std::string_view Line, std::u16string& Scratch) const {
  return Decode(Line, Scratch);
}

bool SortWhereTheyLie(std::u16string_view Text, const TLineView& View, TSortKind Kind,
                      TSortOrder Order, std::u16string& Sorted, LineTies::TTies Ties) {
  return SortText(Text, 0, TViewed{View}, Kind, Order, Sorted, Ties);
}

bool SortWhereTheyLie(std::string_view Bytes, size_t Base, const TLineDecoder& Decoder,
                      TSortKind Kind, TSortOrder Order, std::string& Sorted, LineTies::TTies Ties) {
  return SortText(Bytes, Base, TDecoded{Decoder}, Kind, Order, Sorted, Ties);
}

}  // namespace KeyedSort
