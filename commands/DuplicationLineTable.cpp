#include "commands/DuplicationLineTable.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <random>
#include <utility>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "TemplateList/ListClone.h"

namespace DuplicationLineTable {

namespace {

// Small enough that a text with few distinct lines keeps its whole index in the cache.
constexpr size_t InitialSlots = 1024;

// The most bits of a slot an id takes, which leaves at least five bits of the hash to screen
// unequal keys with (one in 32 passes); numbers always fit, being below 2^27.
constexpr unsigned MaxIdBits = 27;
static_assert(ListClone::MaxListSize < (int64_t{1} << MaxIdBits));

uint32_t (*TestHash)(const void*, size_t) = nullptr;

// How many code units ahead of the current line the text is fetched into the cache: the
// hardware does not always stream a large text in fast enough by itself.
constexpr size_t TextAhead = 1024;

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

}  // namespace

void SetHashForTests(uint32_t (*Hash)(const void* Bytes, size_t Size)) { TestHash = Hash; }

void CheckLineCount(size_t Lines) {
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) {
    ListClone::TListClone::Error("Too many lines", ListClone::MaxListSize);
  }
}

template <class TUnit>
TDistinctLinesOf<TUnit>::TDistinctLinesOf(TView Text, TKeyKind KeyKind, TNumbering Numbering)
    : TDistinctLinesOf(Text, KeyKind, FreshSeed(), Numbering) {}

template <class TUnit>
TDistinctLinesOf<TUnit>::TDistinctLinesOf(TView Text, TKeyKind KeyKind, uint64_t Seed,
                                          TNumbering Numbering)
    : FText(Text),
      FKeyKind(KeyKind),
      FSlots(InitialSlots),
      FWide(Text.size() > UINT32_MAX),
      // A slot keeps an offset + 1 in place of a number only where it leaves room for enough
      // bits of the hash.
      FNumbered(Numbering == nbNumbered || Text.size() >= (size_t{1} << MaxIdBits)),
      FSeed(Seed),
      FTestHash(TestHash) {
  // An id + 1 is at most the text's length: no more lines than units, and a line starts
  // before the end. Numbers also stay below the largest list's count, which the scan checks
  // before it looks a line up.
  size_t Largest = Text.size();
  if (FNumbered) Largest = std::min(Largest, static_cast<size_t>(ListClone::MaxListSize));
  FIdBits = std::max(1, static_cast<int>(std::bit_width(Largest)));
  FIdMask = static_cast<TSlot>((uint64_t{1} << FIdBits) - 1);
}

template <class TUnit>
TDistinctLinesOf<TUnit>::TDistinctLinesOf(TView Text, TKeyMaker<TUnit>& Maker, TNumbering Numbering)
    : TDistinctLinesOf(Text, kkBody, FreshSeed(), Numbering) {
  FMaker = &Maker;
}

template <class TUnit>
TLine TDistinctLinesOf<TUnit>::Line(size_t Number) const {
  // A body ends at its line's first CR or LF, so the line found from its start is the key's.
  return LineScan::LineAt(FText, Offset(Number));
}

template <class TUnit>
void TDistinctLinesOf<TUnit>::AddKey(size_t Offset) {
  FKeys.push_back(static_cast<uint32_t>(Offset));
  if (FWide) FKeysHigh.push_back(static_cast<uint32_t>(static_cast<uint64_t>(Offset) >> 32));
}

template <class TUnit>
void TDistinctLinesOf<TUnit>::RelocateAdded(size_t Offset) {
  if (!FNumbered) {
    FSlots[FAddedSlot] = (FSlots[FAddedSlot] & ~FIdMask) | static_cast<TSlot>(Offset + 1);
    return;
  }
  const size_t Number = FCount - 1;
  FKeys[Number] = static_cast<uint32_t>(Offset);
  if (FWide) FKeysHigh[Number] = static_cast<uint32_t>(static_cast<uint64_t>(Offset) >> 32);
}

template <class TUnit>
void TDistinctLinesOf<TUnit>::ReleaseIndex() {
  std::vector<TSlot>().swap(FSlots);
}

template <class TUnit>
uint32_t TDistinctLinesOf<TUnit>::HashOfBytes(const void* P, size_t Size) const {
  // One well-predicted test per key; the hook is null outside tests.
  if (FTestHash != nullptr) [[unlikely]]
    return FTestHash(P, Size);
  return static_cast<uint32_t>(XXH3_64bits_withSeed(P, Size, FSeed));
}

template <class TUnit>
uint32_t TDistinctLinesOf<TUnit>::HashOf(const TUnit* P, size_t N) {
  if (FMaker != nullptr) [[unlikely]] {
    const size_t Size = FMaker->Key(TView(P, N), FKey);
    return HashOfBytes(FKey.data(), Size);
  }
  return HashOfBytes(P, N * sizeof(TUnit));
}

template <class TUnit>
bool TDistinctLinesOf<TUnit>::SameMadeKey(size_t Known, const TUnit* Key, size_t Length) {
  // Only lines whose hashes share the slot's bits get here: the keys are made again for them
  // rather than kept for every line.
  const size_t KnownSize =
      FMaker->Key(FText.substr(Known, LineScan::LineAt(FText, Known).BodyLength), FKnownKey);
  const size_t Size = FMaker->Key(TView(Key, Length), FKey);
  return Size == KnownSize && std::memcmp(FKey.data(), FKnownKey.data(), Size) == 0;
}

template <class TUnit>
uint32_t TDistinctLinesOf<TUnit>::HashAt(size_t Offset) {
  // A key starts a line: its body, or the whole line with its break.
  const TLine Line = LineScan::LineAt(FText, Offset);
  return HashOf(FText.data() + Offset, FKeyKind == kkBody ? Line.BodyLength : Line.Length);
}

template <class TUnit>
bool TDistinctLinesOf<TUnit>::SameKey(size_t Known, const TUnit* Key, size_t Length) const {
  // Only the start of a known line is kept. The known line begins with the key's units; it is
  // the same key when its own key ends there too. The known line stands before the key's line,
  // so the units compared and the one after them lie inside the text.
  if (std::memcmp(FText.data() + Known, Key, Length * sizeof(TUnit)) != 0) return false;
  const size_t End = Known + Length;
  if (FKeyKind == kkBody) return End == FText.size() || LineScan::IsBreak(FText[End]);
  // A whole line of Length units ends there when the break it ends in does (a lone CR with no
  // LF after it), or, without a break, when the text does.
  if (LineScan::IsBreak(Key[Length - 1])) return LineScan::BreakEnd(FText, End - 1) == End;
  return End == FText.size();
}

template <class TUnit>
uint32_t TDistinctLinesOf<TUnit>::FindOrAdd(size_t Offset, size_t Length, uint32_t Hash,
                                            bool& Added) {
  const TUnit* Key = FText.data() + Offset;
  const TSlot Tagged = Tag(Hash);
  size_t I = Home(Hash);
  // Counted here and added once: a store to the member in the loop would be kept in step.
  size_t Probes = 1;
  for (;; ++Probes) {
    const TSlot Slot = FSlots[I];
    if (Slot == 0) break;
    if (((Slot ^ Tagged) & ~FIdMask) == 0 &&
        (FMaker == nullptr ? SameKey(SlotOffset(Slot), Key, Length)
                           : SameMadeKey(SlotOffset(Slot), Key, Length))) {
      FProbes += Probes;
      Added = false;
      return FNumbered ? (Slot & FIdMask) - 1 : 0;
    }
    I = After(I);
  }
  FProbes += Probes;
  // Keep the table at most four fifths full, so that probe runs stay short.
  if ((FCount + 1) * 5 > FSlots.size() * 4) {
    Grow(Offset);
    I = Home(Hash);
    while (FSlots[I] != 0) I = After(I);
  }
  ++FCount;
  FAddedSlot = I;
  Added = true;
  if (!FNumbered) {
    FSlots[I] = Tagged | static_cast<TSlot>(Offset + 1);
    return 0;
  }
  AddKey(Offset);
  const auto Number = static_cast<uint32_t>(FKeys.size());
  FSlots[I] = Tagged | Number;
  return Number - 1;
}

// Inlined into both scans' loops, where it runs once a line.
template <class TUnit>
[[gnu::always_inline]] inline void TDistinctLinesOf<TUnit>::LookUp(const TLine& Line, uint32_t Hash,
                                                                   void* Context, TVisitFn Visit) {
  bool Added = false;
  if (FKeyKind == kkBody) {
    const uint32_t Number = FindOrAdd(Line.Offset, Line.BodyLength, Hash, Added);
    Visit(Context, Line, Number, Added);
  } else if (Line.BodyLength != 0) {
    const uint32_t Number = FindOrAdd(Line.Offset, Line.Length, Hash, Added);
    Visit(Context, Line, Number, Added);
  }
}

template <class TUnit>
void TDistinctLinesOf<TUnit>::ScanWith(void* Context, TVisitFn Visit) {
  // One thread does it all. The lookups must go in the order of the text, and they wait on
  // memory; the cutting and hashing of the next batch fill those waits. Handing the hashing to
  // other threads left the lookups as slow as this whole loop and added the hand-over, so it
  // was slower on every text measured, on two cores and in principle on more.
  // Lines go in batches: while the lines of one batch are looked up in order, the next batch
  // is cut, hashed and its home slots fetched ahead. With a table larger than the cache, the
  // fetches overlap instead of each lookup waiting for its own.
  constexpr size_t BatchSize = 32;
  TLine Lines[2][BatchSize];
  uint32_t Hashes[2][BatchSize];
  size_t Filled[2] = {0, 0};
  size_t LineCount = 0;
  size_t Begin = 0;
  const uint32_t* const Given = FGivenHashes.empty() ? nullptr : FGivenHashes.data();
  auto Fill = [&](size_t Batch) {
    size_t N = 0;
    for (; N < BatchSize && Begin < FText.size(); ++N) {
      if (Begin + TextAhead < FText.size()) __builtin_prefetch(FText.data() + Begin + TextAhead);
      const TLine Line = LineScan::LineAt(FText, Begin);
      Begin += Line.Length;
      const size_t KeyLength = FKeyKind == kkBody ? Line.BodyLength : Line.Length;
      Lines[Batch][N] = Line;
      Hashes[Batch][N] =
          Given != nullptr ? Given[LineCount + N] : HashOf(FText.data() + Line.Offset, KeyLength);
      __builtin_prefetch(&FSlots[Home(Hashes[Batch][N])]);
    }
    Filled[Batch] = N;
    LineCount += N;
    CheckLineCount(LineCount);
  };
  size_t Current = 0;
  Fill(Current);
  while (Filled[Current] != 0) {
    Fill(1 - Current);
    for (size_t I = 0; I < Filled[Current]; ++I) {
      LookUp(Lines[Current][I], Hashes[Current][I], Context, Visit);
    }
    Current = 1 - Current;
  }
}

template <class TUnit>
void TDistinctLinesOf<TUnit>::Grow(size_t Scanned) {
  // Doubling alone moves a large table many times over and leaves it as little as two
  // fifths full. Once a fair part of the text has been read, the share of distinct lines seen
  // so far projects their number for the whole text, and the table is made the size that
  // holds that many about seven tenths full (never less than double); the keys get room for
  // them at once, rather than by repeated copying. A wrong guess costs one more growth.
  double Slots = 2.0 * static_cast<double>(FSlots.size());
  double Keys = Slots * 4 / 5;
  if (Scanned != 0 && Scanned >= FText.size() / 16) {
    const double Projected =
        static_cast<double>(FCount) * static_cast<double>(FText.size()) / Scanned;
    Keys = std::max(Keys, Projected * 1.05);
    Slots = std::max(Slots, Projected * 1.4);
  }
  // A slot's hash has 32 bits, so more slots than 2^32 would go unused; and no table needs
  // more than one slot and a bit for each line of the text.
  const double Most = std::min(4294967296.0, static_cast<double>(FText.size()) * 4 / 3 + 1024);
  Slots = std::min(Slots, Most);
  if (Slots <= static_cast<double>(FSlots.size())) Slots = static_cast<double>(FSlots.size()) + 1;
  if (FNumbered) FKeys.reserve(static_cast<size_t>(std::min(Keys, Slots)));
  if (FWide) FKeysHigh.reserve(FKeys.capacity());
  std::vector<TSlot> Old(static_cast<size_t>(Slots));
  Old.swap(FSlots);
  // The slots keep only some bits of their hashes: each key is hashed again from the text.
  // Numbered keys are taken in the order of their numbers, which reads the text forwards;
  // unnumbered ones in the order of the old slots, their text fetched a few slots ahead. The
  // keys go in small batches, each batch's new home slots fetched before they are written, so
  // that the scattered writes overlap.
  constexpr size_t Batch = 16;
  TSlot Ids[Batch];
  uint32_t Hashes[Batch];
  auto Place = [this, &Ids, &Hashes](size_t N) {
    for (size_t K = 0; K < N; ++K) __builtin_prefetch(&FSlots[Home(Hashes[K])], 1);
    for (size_t K = 0; K < N; ++K) {
      size_t I = Home(Hashes[K]);
      while (FSlots[I] != 0) I = After(I);
      FSlots[I] = Tag(Hashes[K]) | (Ids[K] & FIdMask);
    }
  };
  size_t N = 0;
  if (FNumbered) {
    for (size_t Number = 0; Number < FCount; ++Number) {
      Ids[N] = static_cast<TSlot>(Number + 1);
      Hashes[N] = HashAt(Offset(Number));
      if (++N == Batch) Place(std::exchange(N, 0));
    }
  } else {
    for (size_t J = 0; J < Old.size(); ++J) {
      if (J + Batch < Old.size() && Old[J + Batch] != 0) {
        __builtin_prefetch(FText.data() + SlotOffset(Old[J + Batch]));
      }
      if (Old[J] == 0) continue;
      Ids[N] = Old[J];
      Hashes[N] = HashAt(SlotOffset(Old[J]));
      if (++N == Batch) Place(std::exchange(N, 0));
    }
  }
  Place(N);
}

template class TDistinctLinesOf<char16_t>;
template class TDistinctLinesOf<char>;

}  // namespace DuplicationLineTable
