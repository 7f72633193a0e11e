#include "commands/DuplicationLineTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <random>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "TemplateList/ListClone.h"
#include "base/Parallel.h"

namespace DuplicationLineTable {

namespace {

// Small enough that a text with few distinct lines keeps its whole index in the cache.
constexpr size_t InitialSlots = 1024;

// Texts of this many code units or more are cut and hashed on several threads, in segments of
// SegmentUnits per thread.
constexpr size_t ParallelFrom = size_t{1} << 17;
constexpr size_t SegmentUnits = size_t{1} << 20;
// How many lines ahead of the one being looked up its home slot is fetched.
constexpr size_t LookAhead = 8;

// How many code units ahead of the current line the text is fetched into the cache: the
// hardware does not always stream a large text in fast enough by itself.
constexpr size_t TextAhead = 1024;

// A 64-bit hash of the N code units at P under Seed.
uint64_t HashKey(const char16_t* P, size_t N, uint64_t Seed) {
  return XXH3_64bits_withSeed(P, N * sizeof(char16_t), Seed);
}

// A seed no input can know in advance: from the system's random source, mixed with the clock
// and an address in case that source is deterministic (as on some older runtimes).
uint64_t FreshSeed() {
  static std::atomic<uint64_t> Counter{0};
  uint64_t Seed = 0;
  try {
    std::random_device Source;
    Seed = (static_cast<uint64_t>(Source()) << 32) ^ Source();
  } catch (const std::exception&) {
    // No random source: the clock and the addresses below still differ from run to run.
  }
  const uint64_t Clock =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const uint64_t Mixed[3] = {Seed, Clock ^ reinterpret_cast<uintptr_t>(&Counter),
                             Counter.fetch_add(1, std::memory_order_relaxed)};
  return XXH3_64bits(Mixed, sizeof Mixed);
}

// The first line start at or after P (the end of the text when none is).
size_t NextLineStart(std::u16string_view Text, size_t P) {
  if (P == 0 || P >= Text.size()) return std::min(P, Text.size());
  const char16_t Before = Text[P - 1];
  if (Before == u'\n' || (Before == u'\r' && Text[P] != u'\n')) return P;
  // P lies inside a line, or between the CR and LF of its break.
  return LineScan::BreakEnd(Text, LineScan::FindBreak(Text.data(), P, Text.size()));
}

}  // namespace

void CheckLineCount(size_t Lines) {
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) {
    ListClone::TListClone::Error("Too many lines", ListClone::MaxListSize);
  }
}

TDistinctLines::TDistinctLines(std::u16string_view Text, TKeyKind KeyKind)
    : TDistinctLines(Text, KeyKind, FreshSeed()) {}

TDistinctLines::TDistinctLines(std::u16string_view Text, TKeyKind KeyKind, uint64_t Seed)
    : FText(Text), FKeyKind(KeyKind), FSlots(InitialSlots), FMask(InitialSlots - 1), FSeed(Seed) {}

TLine TDistinctLines::Line(size_t Number) const {
  const TKey& Key = FKeys[Number];
  if (FKeyKind == kkWholeLine) return LineScan::LineAt(FText, Key.Offset);
  // A body ends where its line break, if any, starts.
  const size_t End = LineScan::BreakEnd(FText, Key.Offset + Key.Length);
  return TLine{Key.Offset, End - Key.Offset, Key.Length};
}

uint32_t TDistinctLines::FindOrAdd(size_t Offset, size_t Length, uint32_t Hash, bool& Added) {
  const char16_t* Key = FText.data() + Offset;
  size_t I = Hash & FMask;
  for (;;) {
    ++FProbes;
    const TSlot Slot = FSlots[I];
    if (Slot.Number == 0) break;
    if (Slot.Hash == Hash) {
      const TKey& Known = FKeys[Slot.Number - 1];
      if (Known.Length == Length &&
          std::memcmp(FText.data() + Known.Offset, Key, Length * sizeof(char16_t)) == 0) {
        Added = false;
        return Slot.Number - 1;
      }
    }
    I = (I + 1) & FMask;
  }
  // Keep the table at most half full, so that probe runs stay short.
  if ((FKeys.size() + 1) * 2 > FSlots.size()) {
    Grow();
    I = Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
  }
  FKeys.push_back(TKey{Offset, Length});
  const auto Number = static_cast<uint32_t>(FKeys.size());
  FSlots[I] = TSlot{Hash, Number};
  Added = true;
  return Number - 1;
}

void TDistinctLines::ScanInParallel(void* Context, TVisitFn Visit) {
  // The text goes in segments of a few megabytes. The lines of a segment are cut and hashed
  // on every thread, each taking a run of whole lines; then they are looked up in order on
  // this one, so every line gets the number it gets in a scan on one thread.
  const size_t Threads = Parallel::ThreadCount();
  const size_t Parts = 2 * Threads;  // two runs per thread, so an uneven run evens out
  std::vector<std::vector<TLine>> Lines(Parts);
  std::vector<std::vector<uint32_t>> Hashes(Parts);
  std::vector<size_t> Bounds(Parts + 1);
  size_t LineCount = 0;
  for (size_t Begin = 0; Begin < FText.size();) {
    const size_t Length = std::min(SegmentUnits * Threads, FText.size() - Begin);
    // Each run ends at a line start; no run looks for one before the previous run's end, so
    // the search reads each code unit at most once even for a very long line.
    Bounds[0] = Begin;
    for (size_t P = 1; P <= Parts; ++P) {
      Bounds[P] = NextLineStart(FText, std::max(Bounds[P - 1], Begin + Length * P / Parts));
    }
    Parallel::ForEachPart(Parts, [&](size_t P) {
      Lines[P].clear();
      Hashes[P].clear();
      for (size_t At = Bounds[P]; At < Bounds[P + 1];) {
        const TLine Line = LineScan::LineAt(FText, At);
        At += Line.Length;
        const size_t KeyLength = FKeyKind == kkBody ? Line.BodyLength : Line.Length;
        Lines[P].push_back(Line);
        Hashes[P].push_back(
            static_cast<uint32_t>(HashKey(FText.data() + Line.Offset, KeyLength, FSeed)));
      }
    });
    for (size_t P = 0; P < Parts; ++P) LineCount += Lines[P].size();
    CheckLineCount(LineCount);
    Begin = Bounds[Parts];
    FScanned = Begin;
    for (size_t P = 0; P < Parts; ++P) {
      const std::vector<uint32_t>& Hash = Hashes[P];
      for (size_t I = 0; I < Lines[P].size(); ++I) {
        // The home slots of the lines a little ahead are fetched while this one is looked up.
        if (I + LookAhead < Hash.size()) __builtin_prefetch(&FSlots[Hash[I + LookAhead] & FMask]);
        const TLine& Line = Lines[P][I];
        bool Added = false;
        if (FKeyKind == kkBody) {
          const uint32_t Number = FindOrAdd(Line.Offset, Line.BodyLength, Hash[I], Added);
          Visit(Context, Line, Number, Added);
        } else if (Line.BodyLength != 0) {
          const uint32_t Number = FindOrAdd(Line.Offset, Line.Length, Hash[I], Added);
          Visit(Context, Line, Number, Added);
        }
      }
    }
  }
}

void TDistinctLines::ScanWith(void* Context, TVisitFn Visit) {
  if (Parallel::ThreadCount() > 1 && FText.size() >= ParallelFrom) {
    ScanInParallel(Context, Visit);
    return;
  }
  // Lines go in batches: while the lines of one batch are looked up in order, the next batch
  // is cut, hashed and its home slots fetched ahead. With a table larger than the cache, the
  // fetches overlap instead of each lookup waiting for its own.
  constexpr size_t BatchSize = 32;
  TLine Lines[2][BatchSize];
  uint32_t Hashes[2][BatchSize];
  size_t Filled[2] = {0, 0};
  size_t LineCount = 0;
  size_t Begin = 0;
  auto Fill = [&](size_t Batch) {
    size_t N = 0;
    for (; N < BatchSize && Begin < FText.size(); ++N) {
      if (Begin + TextAhead < FText.size()) __builtin_prefetch(FText.data() + Begin + TextAhead);
      const TLine Line = LineScan::LineAt(FText, Begin);
      Begin += Line.Length;
      const size_t KeyLength = FKeyKind == kkBody ? Line.BodyLength : Line.Length;
      Lines[Batch][N] = Line;
      Hashes[Batch][N] =
          static_cast<uint32_t>(HashKey(FText.data() + Line.Offset, KeyLength, FSeed));
      __builtin_prefetch(&FSlots[Hashes[Batch][N] & FMask]);
    }
    Filled[Batch] = N;
    LineCount += N;
    CheckLineCount(LineCount);
  };
  size_t Current = 0;
  Fill(Current);
  while (Filled[Current] != 0) {
    Fill(1 - Current);
    FScanned = Begin;
    for (size_t I = 0; I < Filled[Current]; ++I) {
      const TLine& Line = Lines[Current][I];
      bool Added = false;
      if (FKeyKind == kkBody) {
        const uint32_t Number = FindOrAdd(Line.Offset, Line.BodyLength, Hashes[Current][I], Added);
        Visit(Context, Line, Number, Added);
      } else if (Line.BodyLength != 0) {
        const uint32_t Number = FindOrAdd(Line.Offset, Line.Length, Hashes[Current][I], Added);
        Visit(Context, Line, Number, Added);
      }
    }
    Current = 1 - Current;
  }
}

void TDistinctLines::Grow() {
  // Doubling alone moves a large table many times over. Once a fair part of the text has been
  // read, the table grows fourfold when the share of distinct lines seen so far projects at
  // least that many for the whole text; never more, so a wrong guess costs little.
  size_t Slots = FSlots.size() * 2;
  if (FScanned != 0 && FScanned >= FText.size() / 16) {
    const double Projected =
        static_cast<double>(FKeys.size()) * static_cast<double>(FText.size()) / FScanned;
    if (Projected * 2 >= static_cast<double>(Slots) * 2) Slots *= 2;
  }
  // The keys get room up to the next growth at once, rather than by repeated copying.
  FKeys.reserve(Slots / 2);
  std::vector<TSlot> Old(Slots);
  Old.swap(FSlots);
  FMask = FSlots.size() - 1;
  // Each slot keeps its hash, so the move reads no key. The new home of a slot a little ahead
  // is fetched in advance, so that the scattered writes overlap.
  constexpr size_t Ahead = 8;
  for (size_t J = 0; J < Old.size(); ++J) {
    if (J + Ahead < Old.size() && Old[J + Ahead].Number != 0) {
      __builtin_prefetch(&FSlots[Old[J + Ahead].Hash & FMask], 1);
    }
    const TSlot Slot = Old[J];
    if (Slot.Number == 0) continue;
    size_t I = Slot.Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
    FSlots[I] = Slot;
  }
}

}  // namespace DuplicationLineTable
