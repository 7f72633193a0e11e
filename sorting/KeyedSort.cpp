#include "sorting/KeyedSort.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/Parallel.h"
#include "sorting/CollationKeys.h"
#include "sorting/NumericKey.h"
#include "sorting/RecordQuickSort.h"
#include "sorting/SlottedKeys.h"
#include "strings/StringUnit.h"

namespace KeyedSort {

// The list unit's numeric keys and sort enumerators, which the engine's orders answer to.
using StringRecordListNormalSort::CompareNumberKeys;
using StringRecordListNormalSort::TInt64DynArray;
using StringRecordListNormalSort::TNumberScanner;
using enum StringRecordListNormalSort::TSortKind;
using enum StringRecordListNormalSort::TSortOrder;

namespace {

using RecordSort::SortRecords;

// The engine reaches the lines through this, with TLineSource's contract.
struct TSourceLines {
  const TLineSource& Source;
  std::u16string_view Text(size_t I, std::u16string& Scratch) const {
    return Source.Text(I, Scratch);
  }
  bool Same(size_t I, size_t J) const { return Source.Same(I, J); }
  size_t Hash(size_t I) const { return Source.Hash(I); }
  void Prefetch(size_t I) const { Source.Prefetch(I); }
  template <typename TVisit>
  void ForEachText(size_t Begin, size_t End, const TVisit& Visit) const {
    Source.ForEachText(Begin, End, Visit);
  }
  size_t UnitsAtMost(size_t Begin, size_t End) const { return Source.UnitsAtMost(Begin, End); }
  template <typename TMeasure>
  void ForEachMeasure(size_t Begin, size_t End, const TMeasure& Measure) const {
    Source.ForEachMeasure(Begin, End, Measure);
  }
};

// TextCompare on lines I and J.
template <typename TLines>
int32_t CompareTexts(const TLines& Lines, size_t I, size_t J) {
  std::u16string ScratchA;
  std::u16string ScratchB;
  switch (StringUnit::LocaleCompare(Lines.Text(I, ScratchA), Lines.Text(J, ScratchB))) {
    case StringUnit::crLess:
      return -1;
    case StringUnit::crGreater:
      return 1;
    case StringUnit::crEqual:
      break;
  }
  return 0;
}

// What the quicksort moves: records of 16 bytes that decide most comparisons without leaving
// the record array. Prefix and Prefix2 hold twelve bytes of the line's collation key, from the
// depth of the range being sorted on (see Deepen); Index is the line's position before the
// sort and indexes the key tables.
struct TTextRecord {
  uint64_t Prefix;
  uint32_t Prefix2;
  int32_t Index;
};

// The length orders compare the lengths first: eight bytes of key are enough beside them.
struct TByteLengthRecord {
  uint64_t Prefix;
  int32_t Index;
  int32_t Measure;  // the line's byte length
};

// The numeric record for texts in which no line has more than one number: 16 bytes, or 12
// where every number fits in TFirst's 32 bits, as in the short lines whose records would
// otherwise take twice their text.
template <typename TFirst>
struct TNumericRecordOf {
  TFirst First;  // the line's number, when it has one
  int32_t Index;
  int32_t Count;  // how many numbers the line has
};

// The numeric record for texts in which many lines tie on their numbers: with key bytes for
// the dictionary order that decides between them.
struct TNumericTextRecord {
  uint64_t Prefix;
  int64_t First;
  int32_t Index;
  int32_t Count;
};

// How many lines a part of the key derivation takes at least: enough to outweigh handing it to
// a thread.
constexpr size_t KeyGrain = 4096;

// The key tables are made in parts of 2^PartShift(Lines) lines, at least as many parts as
// Parallel::PartCount asks for: a line's part is found by a shift, and each part is used
// where it was made rather than joined with the others.
unsigned PartShift(size_t Lines) {
  const size_t Parts = Parallel::PartCount(Lines, KeyGrain);
  if (Parts <= 1) return 31;  // every line in part 0
  return static_cast<unsigned>(std::bit_width((Lines + Parts - 1) / Parts)) - 1;
}

// Which lines may have the same numbers as another line: two bits a bucket (one line's
// numbers hashed to it, and another's), set from several threads at once. Lines with the same
// numbers share a bucket, so each of them passes; a line whose numbers no other line has
// passes only where other numbers hash to its bucket, about one line in sixteen (which
// ClearSameTextTies then tells apart by the whole hash).
class TRepeatFilter {
 public:
  explicit TRepeatFilter(size_t Lines)
      : FMask(static_cast<size_t>(std::bit_ceil(
                  std::clamp<uint64_t>(uint64_t{Lines} * 16, 64, uint64_t{1} << 28))) -
              1),
        FWords((FMask + 1) / 16) {}

  // The hash of a line's numbers, of which the filters read the buckets.
  static uint32_t Hash(std::span<const int64_t> Key) {
    uint64_t H = 0x9E3779B97F4A7C15u ^ Key.size();
    for (const int64_t Value : Key) {
      H = (H ^ static_cast<uint64_t>(Value)) * 0xFF51AFD7ED558CCDu;
      H ^= H >> 32;
    }
    H *= 0xC4CEB9FE1A85EC53u;
    return static_cast<uint32_t>(H >> 32);
  }
  // Notes the lines of the hashes. The buckets lie scattered over more memory than the caches
  // hold: they are fetched ahead, many at once, rather than waited for one at a time.
  void Note(std::span<const uint32_t> Hashes) {
    for (size_t K = 0; K < Hashes.size(); ++K) {
      if (K + Ahead < Hashes.size()) __builtin_prefetch(&FWords[Word(Hashes[K + Ahead])], 1);
      const uint32_t Seen = SeenBit(Hashes[K]);
      std::atomic_ref<uint32_t> Word(FWords[this->Word(Hashes[K])]);
      if ((Word.fetch_or(Seen, std::memory_order_relaxed) & Seen) != 0) {
        Word.fetch_or(Seen << 1, std::memory_order_relaxed);
      }
    }
  }
  // Whether each line of the hashes passes, once every line is noted (and the threads that
  // noted them joined).
  void Repeated(std::span<const uint32_t> Hashes, std::vector<bool>& Passes) const {
    Passes.resize(Hashes.size());
    for (size_t K = 0; K < Hashes.size(); ++K) {
      if (K + Ahead < Hashes.size()) __builtin_prefetch(&FWords[Word(Hashes[K + Ahead])]);
      Passes[K] = (FWords[Word(Hashes[K])] & SeenBit(Hashes[K]) << 1) != 0;
    }
  }

 private:
  static constexpr size_t Ahead = 16;
  size_t Bucket(uint32_t Hash) const { return Hash & FMask; }
  size_t Word(uint32_t Hash) const { return Bucket(Hash) / 16; }
  uint32_t SeenBit(uint32_t Hash) const { return uint32_t{1} << (Bucket(Hash) % 16 * 2); }

  const size_t FMask;
  // 16 buckets each: bit 2K set once, bit 2K + 1 twice. Words of 32 bits, whose atomic
  // operations every target has without a lock.
  std::vector<uint32_t> FWords;
};

// The numeric keys of all lines, derived in parallel: each part's numbers in an array of its
// own, with 32-bit offsets of its own.
class TNumberKeys {
 public:
  template <typename TLines>
  TNumberKeys(const TLines& Lines, size_t Count) : FShift(PartShift(Count)), FCount(Count) {
    const size_t Parts = Count == 0 ? 1 : ((Count - 1) >> FShift) + 1;
    FValues.resize(Parts);
    FBases.resize(Parts);
    FOffsets.resize(Parts);
    std::vector<size_t> Without(Parts);
    std::vector<size_t> Most(Parts);
    Parallel::ForEachPart(Parts, [&](size_t P) {
      const size_t Begin = P << FShift;
      const size_t End = P + 1 < Parts ? (P + 1) << FShift : Count;
      TNumberScanner Scanner;
      // The part's numbers and counts are kept here and stored once: the parts' arrays and
      // counters lie next to each other, on cache lines that threads would otherwise share.
      TInt64DynArray Values;
      std::vector<uint32_t>& Offsets = FOffsets[P];
      Offsets.assign(End - Begin + 1, 0);
      size_t WithoutHere = 0;
      size_t MostHere = 0;
      Lines.ForEachText(Begin, End, [&](size_t I, std::u16string_view Text) {
        const size_t From = Values.size();
        Scanner.Scan(Text, Values);
        // More numbers than 32-bit offsets reach: no table; the comparators sort instead.
        if (Values.size() > UINT32_MAX) throw std::bad_alloc();
        Offsets[I - Begin + 1] = static_cast<uint32_t>(Values.size());
        const size_t Numbers = Values.size() - From;
        WithoutHere += Numbers == 0;
        MostHere = std::max(MostHere, Numbers);
      });
      Without[P] = WithoutHere;
      Most[P] = MostHere;
      FBases[P] = Values.data();
      FValues[P] = std::move(Values);
    });
    for (size_t P = 0; P < Parts; ++P) {
      FWithoutNumbers += Without[P];
      FMostNumbers = std::max(FMostNumbers, Most[P]);
    }
  }
  std::span<const int64_t> Key(size_t I) const {
    if (FOffsets.empty()) throw std::logic_error("numbers read after they were handed over");
    const size_t P = I >> FShift;
    const uint32_t* const Offset = FOffsets[P].data() + (I - (P << FShift));
    return {FBases[P] + Offset[0], Offset[1] - Offset[0]};
  }
  std::span<const int64_t> Key(int32_t I) const { return Key(static_cast<size_t>(I)); }

  // How many lines have no number, and the most numbers one line has.
  size_t WithoutNumbers() const { return FWithoutNumbers; }
  size_t MostNumbers() const { return FMostNumbers; }
  // Whether each line of each part may have the same numbers as another line: false only
  // where none has, true besides for the few lines whose numbers hash as another's do. Hashes
  // gets each part's hashes of its lines' numbers (TRepeatFilter::Hash).
  std::vector<std::vector<bool>> MayTie(std::vector<std::vector<uint32_t>>& Hashes) const {
    const size_t Parts = FOffsets.size();
    Hashes.assign(Parts, {});
    TRepeatFilter Filter(FCount);
    Parallel::ForEachPart(Parts, [&](size_t P) {
      // Filled here and then handed over, for the same reason as the numbers.
      std::vector<uint32_t> Here;
      Here.reserve(PartBegin(P + 1) - PartBegin(P));
      for (size_t I = PartBegin(P); I < PartBegin(P + 1); ++I) {
        Here.push_back(TRepeatFilter::Hash(Key(I)));
      }
      Filter.Note(Here);
      Hashes[P] = std::move(Here);
    });
    std::vector<std::vector<bool>> Tied(Parts);
    Parallel::ForEachPart(Parts, [&](size_t P) { Filter.Repeated(Hashes[P], Tied[P]); });
    return Tied;
  }

  // The parts in which the numbers lie: lines PartBegin(P) .. PartBegin(P + 1) - 1, whose
  // numbers take Numbers(P) values.
  size_t Parts() const { return FOffsets.size(); }
  size_t PartBegin(size_t P) const { return std::min(P << FShift, FCount); }
  size_t PartOf(size_t I) const { return I >> FShift; }
  size_t Numbers(size_t P) const { return FValues[P].size(); }
  // Frees the numbers of part P: their lines' keys are read no more.
  void Release(size_t P) {
    TInt64DynArray().swap(FValues[P]);
    std::vector<uint32_t>().swap(FOffsets[P]);
  }

  // Hands every line's numbers to Take(I, Key), line by line, and frees each part's numbers
  // and offsets as soon as its lines are handed over, so that what Take builds from them and
  // the table are not held whole together. The table is empty afterwards: Key throws.
  template <typename TTake>
  void Drain(TTake&& Take) {
    for (size_t P = 0; P < Parts(); ++P) {
      for (size_t I = PartBegin(P); I < PartBegin(P + 1); ++I) Take(I, Key(I));
      Release(P);
    }
    FOffsets.clear();
  }

 private:
  const unsigned FShift;
  const size_t FCount;
  std::vector<TInt64DynArray> FValues;  // the numbers of each part's lines, in order
  std::vector<const int64_t*> FBases;   // each part's first number
  // Line I of part P (I >> FShift) has the numbers FOffsets[P][K] .. FOffsets[P][K + 1] of
  // the part's array, K being I's place in the part.
  std::vector<std::vector<uint32_t>> FOffsets;
  size_t FWithoutNumbers = 0;
  size_t FMostNumbers = 0;
};

// Lines whose numbers are the same need their texts' order only where the texts differ:
// lines of the same text compare equal whatever their keys. So of the lines that may tie
// (TNumberKeys::MayTie), those whose numbers only lines of the same text share are cleared.
// The lines that may tie are grouped by the hash of their numbers, which lines with the same
// numbers share; a group whose lines are all the same text as its first has no tie that a text
// decides. A group of other texts, or of other numbers whose hashes collide, keeps every line:
// the collation keys are then made for some lines that need none, which order them as well.
// In a group that keeps its lines, a line of the same text as an earlier one has the same key:
// it goes to Copies (a list a part, in rising order of lines), to be copied rather than made,
// for a third of the lines of a log may repeat another. The groups lie in buckets by the top
// bits of their hashes, each bucket looked at by one thread in small tables of its own.
// Hashes holds the hashes of the lines' numbers, a vector a part, as MayTie gave them.
template <typename TLines>
void ClearSameTextTies(const TLines& Lines, const TNumberKeys& Numbers,
                       const std::vector<std::vector<uint32_t>>& Hashes,
                       std::vector<std::vector<bool>>& Tied,
                       std::vector<std::vector<TCollationKeys::TCopy>>& Copies) {
  struct TCandidate {
    // The hash of the line's numbers; once looked at, 0 when the line needs no key, or else
    // one more than the first line of its text, whose key it takes.
    uint32_t Hash;
    uint32_t Line;
  };
  const size_t Parts = Numbers.Parts();
  Copies.assign(Parts, {});
  size_t Total = 0;
  for (const std::vector<bool>& InPart : Tied) {
    Total += static_cast<size_t>(std::count(InPart.begin(), InPart.end(), true));
  }
  if (Total < 2) return;
  // About a thousand lines a bucket: its table stays in the cache.
  const auto Bits = static_cast<unsigned>(std::min<size_t>(std::bit_width(Total / 1024), 16));
  const size_t Buckets = size_t{1} << Bits;
  const auto BucketOf = [Bits](uint32_t Hash) {
    return Bits == 0 ? size_t{0} : static_cast<size_t>(Hash >> (32 - Bits));
  };
  const auto HashOf = [&Numbers, &Hashes](size_t I) {
    const size_t P = Numbers.PartOf(I);
    return Hashes[P][I - Numbers.PartBegin(P)];
  };
  constexpr size_t SameAhead = 8;

  // Each part's lines go to the buckets in order, at places counted first.
  std::vector<std::vector<size_t>> Place(Parts, std::vector<size_t>(Buckets + 1));
  Parallel::ForEachPart(Parts, [&](size_t P) {
    for (size_t I = Numbers.PartBegin(P); I < Numbers.PartBegin(P + 1); ++I) {
      if (Tied[P][I - Numbers.PartBegin(P)]) ++Place[P][BucketOf(HashOf(I)) + 1];
    }
  });
  std::vector<size_t> BucketBegin(Buckets + 1);
  for (size_t B = 0, At = 0; B < Buckets; ++B) {
    BucketBegin[B] = At;
    for (size_t P = 0; P < Parts; ++P) {
      const size_t Here = Place[P][B + 1];
      Place[P][B] = At;
      At += Here;
    }
  }
  BucketBegin[Buckets] = Total;
  std::vector<TCandidate> Candidates(Total);
  Parallel::ForEachPart(Parts, [&](size_t P) {
    for (size_t I = Numbers.PartBegin(P); I < Numbers.PartBegin(P + 1); ++I) {
      if (!Tied[P][I - Numbers.PartBegin(P)]) continue;
      const uint32_t Hash = HashOf(I);
      Candidates[Place[P][BucketOf(Hash)]++] = {Hash, static_cast<uint32_t>(I)};
    }
  });

  const size_t Chunks = Parallel::PartCount(Buckets, 1);
  Parallel::ForEachPart(Chunks, [&](size_t C) {
    struct TGroup {
      uint32_t Hash;
      uint32_t First;  // the group's first line, plus one; 0 for a free slot
      bool Texts;      // whether the group holds another text than its first line's
    };
    struct TText {
      size_t Hash;
      uint32_t First;  // the text's first line, plus one; 0 for a free slot
    };
    std::vector<TGroup> Groups;
    std::vector<TText> Texts;
    for (size_t B = Parallel::PartBegin(Buckets, Chunks, C);
         B < Parallel::PartBegin(Buckets, Chunks, C + 1); ++B) {
      const std::span<TCandidate> Bucket(Candidates.data() + BucketBegin[B],
                                         BucketBegin[B + 1] - BucketBegin[B]);
      const size_t Mask = std::bit_ceil(Bucket.size() * 2 + 1) - 1;
      Groups.assign(Mask + 1, TGroup{0, 0, false});
      const auto GroupOf = [&Groups, Mask](uint32_t Hash) -> TGroup& {
        for (size_t S = Hash & Mask;; S = (S + 1) & Mask) {
          if (Groups[S].First == 0 || Groups[S].Hash == Hash) return Groups[S];
        }
      };
      for (size_t K = 0; K < Bucket.size(); ++K) {
        // The lines lie scattered over the text: fetching ahead overlaps their cache misses.
        if (K + SameAhead < Bucket.size()) Lines.Prefetch(Bucket[K + SameAhead].Line);
        const TCandidate& Candidate = Bucket[K];
        TGroup& Group = GroupOf(Candidate.Hash);
        if (Group.First == 0) {
          Group = {Candidate.Hash, Candidate.Line + 1, false};
        } else if (!Group.Texts) {
          Group.Texts = !Lines.Same(Group.First - 1, Candidate.Line);
        }
      }
      // Only the lines of groups of several texts read their texts.
      size_t Mixed = 0;
      for (TCandidate& Candidate : Bucket) {
        Candidate.Hash = GroupOf(Candidate.Hash).Texts ? 1 : 0;
        Mixed += Candidate.Hash;
      }
      if (Mixed == 0) continue;
      // The lines lie in rising order in the bucket, so the first of each text is met first.
      const size_t TextMask = std::bit_ceil(Mixed * 2 + 1) - 1;
      Texts.assign(TextMask + 1, TText{0, 0});
      size_t Ahead = 0;    // the next line to fetch ahead
      size_t Fetched = 0;  // lines fetched ahead and not yet looked at
      for (TCandidate& Candidate : Bucket) {
        for (; Ahead < Bucket.size() && Fetched < SameAhead; ++Ahead) {
          if (Bucket[Ahead].Hash != 0) {
            Lines.Prefetch(Bucket[Ahead].Line);
            ++Fetched;
          }
        }
        if (Candidate.Hash == 0) continue;
        --Fetched;
        const size_t Hash = Lines.Hash(Candidate.Line);
        for (size_t S = Hash & TextMask;; S = (S + 1) & TextMask) {
          if (Texts[S].First == 0) Texts[S] = {Hash, Candidate.Line + 1};
          if (Texts[S].Hash == Hash && (Texts[S].First == Candidate.Line + 1 ||
                                        Lines.Same(Texts[S].First - 1, Candidate.Line))) {
            Candidate.Hash = Texts[S].First;
            break;
          }
        }
      }
    }
  });
  for (const TCandidate& Candidate : Candidates) {
    const size_t P = Numbers.PartOf(Candidate.Line);
    if (Candidate.Hash == 0) {
      Tied[P][Candidate.Line - Numbers.PartBegin(P)] = false;
    } else if (Candidate.Hash != Candidate.Line + 1) {
      Copies[P].push_back({Candidate.Line, Candidate.Hash - 1, 0});
    }
  }
  Parallel::ForEachPart(Parts, [&Copies](size_t P) {
    std::sort(Copies[P].begin(), Copies[P].end(),
              [](const auto& A, const auto& B) { return A.Key < B.Key; });
  });
}

// Collation keys made on first use. The numeric order needs the dictionary order only for
// lines whose numbers are all equal, which in most texts are few. Comparisons may run on
// several threads at once: a key, once made, is stored where it never moves and published
// with its line's slot; two threads that make the same key at once keep the first.
template <typename TLines>
class TLazyTextOrder {
 public:
  TLazyTextOrder(const TLines& Lines, size_t Count) : FLines(Lines), FKeys(Count) {}

  template <typename TRecord>
  int32_t operator()(const TRecord& A, const TRecord& B, size_t) {
    const int32_t I = A.Index;
    const int32_t J = B.Index;
    const uint8_t* const KeyA = Ensure(I);
    const uint8_t* const KeyB = KeyA == nullptr ? nullptr : Ensure(J);
    if (KeyB == nullptr) {
      // No key from the platform: its direct comparison gives the same answer, or fails as
      // the comparator would.
      return CompareTexts(FLines, static_cast<size_t>(I), static_cast<size_t>(J));
    }
    // As TCollationKeys::Compare: bytewise, a key that is a prefix of the other first.
    uint32_t LengthA;
    uint32_t LengthB;
    std::memcpy(&LengthA, KeyA, sizeof LengthA);
    std::memcpy(&LengthB, KeyB, sizeof LengthB);
    const int C = std::memcmp(KeyA + 4, KeyB + 4, std::min(LengthA, LengthB));
    if (C != 0) return C < 0 ? -1 : 1;
    return LengthA == LengthB ? 0 : LengthA < LengthB ? -1 : 1;
  }

 private:
  // Line I's key (its 32-bit length, then its bytes), made now if need be; null when the
  // platform gives none.
  const uint8_t* Ensure(int32_t I) {
    const auto Line = static_cast<size_t>(I);
    const uint8_t* Key = FKeys.Find(Line);
    if (Key != nullptr) return Key;
    TCollationKeys Made;  // made outside the lock, so that threads make keys at once
    std::u16string Scratch;
    if (!Made.Add(FLines.Text(Line, Scratch))) return nullptr;
    return FKeys.Store(Line, Made.Data(0), Made.Length(0));
  }

  const TLines& FLines;
  TSlottedKeys FKeys;
};

// The comparisons on records. Each answers as the comparator of its kind on the two lines:
// bytewise order of collation keys is the order of LocaleCompare. Depth is the number of
// leading key bytes that all records of the range being sorted share.
struct TTextOrder {
  const TCollationKeys& Keys;
  template <typename TRecord>
  int32_t operator()(const TRecord& A, const TRecord& B, size_t Depth) const {
    if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix ? -1 : 1;
    if constexpr (RecordSort::TwoPrefixRecord<TRecord>) {
      if (A.Prefix2 != B.Prefix2) return A.Prefix2 < B.Prefix2 ? -1 : 1;
    }
    if (A.Index == B.Index) return 0;  // a line against itself, as the pivot meets its copy
    return Keys.CompareFrom(A.Index, B.Index, Depth + RecordSort::PrefixBytes<TRecord>);
  }
};

struct TByteLengthOrder {
  TTextOrder Text;
  int32_t operator()(const TByteLengthRecord& A, const TByteLengthRecord& B, size_t Depth) const {
    if (A.Measure != B.Measure) return A.Measure < B.Measure ? -1 : 1;
    return Text(A, B, Depth);
  }
};

template <typename TText>
struct TNumericOrder {
  const TNumberKeys& Numbers;
  TText& Text;

  // CompareNumberKeys, with a number and the counts taken from the records: the number array
  // is read only when both lines have more numbers and the records' ones agree. For records
  // without key bytes, Depth is the number of leading numbers that every record of the range
  // shares (each has at least that many), and First is the number after them; for records
  // with key bytes, Depth is theirs and First is the line's first number.
  template <typename TRecord>
  int32_t operator()(const TRecord& A, const TRecord& B, size_t Depth) const {
    if (A.Index == B.Index) return 0;  // a line against itself, as the pivot meets its copy
    const int32_t Shared = RecordSort::PrefixedRecord<TRecord> ? 0 : static_cast<int32_t>(Depth);
    if (A.Count > Shared && B.Count > Shared && A.First != B.First) {
      return A.First < B.First ? -1 : 1;
    }
    if (A.Count > Shared + 1 && B.Count > Shared + 1) {
      const int32_t Rest = CompareNumberKeys(Numbers.Key(A.Index).subspan(Shared + 1),
                                             Numbers.Key(B.Index).subspan(Shared + 1));
      if (Rest != 0) return Rest;
    } else if (A.Count != B.Count) {
      return A.Count < B.Count ? -1 : 1;
    }
    return Text(A, B, RecordSort::PrefixedRecord<TRecord> ? Depth : 0);
  }

  // These records serve only texts in which no line has more than one number. Where every
  // record of Records[L .. R] holds the same number, the numbers can tell none of them apart:
  // the range is exhausted, and the text order decides.
  template <typename TFirst>
  void Deepen(TNumericRecordOf<TFirst>* Records, int32_t L, int32_t R, size_t& Depth,
              bool& Exhausted) const {
    const TFirst First = Records[L].First;
    for (int32_t K = L; K <= R; ++K) {
      if (static_cast<size_t>(Records[K].Count) <= Depth || Records[K].First != First) return;
    }
    ++Depth;
    Exhausted = true;
  }
  // Deepen changes no record.
  template <typename TFirst>
  void Restore(TNumericRecordOf<TFirst>&) const {}
};

// The numeric order for texts in which few lines have numbers, on the dictionary order's
// records: a line without numbers comes before one with them (its empty key is a prefix of
// theirs), and only lines that both have numbers read them from the number arrays.
struct TFewNumbersOrder {
  const TNumberKeys& Numbers;
  const std::vector<uint64_t>& Numbered;  // a bit a line: whether it has numbers
  TTextOrder Text;

  int32_t operator()(const TTextRecord& A, const TTextRecord& B, size_t Depth) const {
    const bool NumberedA = Has(A.Index);
    if (NumberedA != Has(B.Index)) return NumberedA ? 1 : -1;
    if (NumberedA && A.Index != B.Index) {
      const int32_t Result = CompareNumberKeys(Numbers.Key(A.Index), Numbers.Key(B.Index));
      if (Result != 0) return Result;
    }
    return Text(A, B, Depth);
  }

  bool Has(int32_t I) const {
    return (Numbered[static_cast<size_t>(I) / 64] >> (static_cast<size_t>(I) % 64) & 1) != 0;
  }
};

// The descending comparison: the ascending one with the same arguments, negated.
template <typename TOrder>
struct TDescending {
  TOrder Ascending;
  template <typename TRecord>
  int32_t operator()(const TRecord& A, const TRecord& B, size_t Depth) const {
    return -Ascending(A, B, Depth);
  }
  // What is shared is shared in either direction.
  template <typename TRecord>
  requires RecordSort::DeepeningOrder<TOrder, TRecord>
  void Deepen(TRecord* Records, int32_t L, int32_t R, size_t& Depth, bool& Exhausted) const {
    Ascending.Deepen(Records, L, R, Depth, Exhausted);
  }
  template <typename TRecord>
  requires RecordSort::DeepeningOrder<TOrder, TRecord>
  void Restore(TRecord& Record) const { Ascending.Restore(Record); }
};

// Sorts the records by the order (negated for soDescending).
template <typename TLines, typename TRecord, typename TOrder>
void SortInOrder(const TLines& Lines, std::vector<TRecord>& Records, TSortOrder Order,
                 const TOrder& Ascending, const TCollationKeys& Keys) {
  const auto Same = [&Lines](int32_t I, int32_t J) {
    return Lines.Same(static_cast<size_t>(I), static_cast<size_t>(J));
  };
  if (Order == soAscending) {
    SortRecords(Same, Records, Ascending, Keys);
  } else {
    SortRecords(Same, Records, TDescending<TOrder>{Ascending}, Keys);
  }
}

// Writes the sorted records' line numbers, in order, over the records' own first bytes and
// returns them there: the order is read out without an array beside the records, which would
// add four bytes a line to the sort's peak memory. The records are spent. Number I is written
// after record I is read, to a slot that ends before record I + 1 begins.
template <typename TRecord>
std::span<uint32_t> IndexesInPlace(std::vector<TRecord>& Records) {
  static_assert(sizeof(TRecord) >= sizeof(uint32_t) && std::is_trivially_copyable_v<TRecord> &&
                std::is_trivially_destructible_v<TRecord>);
  auto* const Bytes = reinterpret_cast<std::byte*>(Records.data());
  for (size_t I = 0; I < Records.size(); ++I) {
    const auto Index = static_cast<uint32_t>(Records[I].Index);
    new (Bytes + I * sizeof(uint32_t)) uint32_t(Index);
  }
  return {std::launder(reinterpret_cast<uint32_t*>(Bytes)), Records.size()};
}

// The text whose collation key line I gets: the line, or for the order read from the end the
// line as StringUnit::ReadFromEnd turns it (in Scratch).
std::u16string_view KeyText(std::u16string_view Text, bool Reversed, std::u16string& Scratch) {
  if (!Reversed) return Text;
  if (Text.data() != Scratch.data()) Scratch.assign(Text);
  StringUnit::ReadFromEnd(Scratch);
  return Scratch;
}

// Makes the collation keys of the lines of part P of the keys, each key's head going to the
// line's record.
template <typename TLines, typename TRecord>
bool AddKeys(const TLines& Lines, size_t P, size_t Count, bool Reversed, TCollationKeys& Keys,
             std::vector<TRecord>& Records) {
  const size_t Begin = Keys.PartBegin(P);
  const size_t End = P + 1 < Keys.Parts() ? Keys.PartBegin(P + 1) : Count;
  std::u16string Scratch;
  Keys.ReservePart(P, End - Begin, Lines.UnitsAtMost(Begin, End));
  uint8_t Head[RecordSort::PrefixBytes<TRecord>];
  bool Made = true;
  Lines.ForEachText(Begin, End, [&](size_t I, std::u16string_view Text) {
    // Once a key fails the sort is given up: the rest of the part is passed over.
    if (!Made || !Keys.AddTo(I, KeyText(Text, Reversed, Scratch), Head)) {
      Made = false;
      return;
    }
    Records[I].Index = static_cast<int32_t>(I);
    RecordSort::SetPrefix(Records[I], Head);
  });
  return Made;
}

// The collation key of every line, derived in parallel, in parts (PartShift), and a record per
// line at depth 0. The records hold each key's first bytes, so the keys keep only the rest.
template <typename TLines, typename TRecord>
bool MakeKeys(const TLines& Lines, int32_t Count, bool Reversed, TCollationKeys& Keys,
              std::vector<TRecord>& Records) {
  const auto Size = static_cast<size_t>(Count);
  Records.resize(Size);
  Keys.Divide(Size, PartShift(Size), RecordSort::PrefixBytes<TRecord>);
  // A sort that starts over needs the heads again: it remakes them from the lines.
  Keys.SetTextOf([Lines, Reversed](size_t I, std::u16string& Scratch) {
    return KeyText(Lines.Text(I, Scratch), Reversed, Scratch);
  });
  std::atomic<bool> Failed{false};
  Parallel::ForEachPart(Keys.Parts(), [&](size_t P) {
    if (Failed.load(std::memory_order_relaxed)) return;
    if (!AddKeys(Lines, P, Size, Reversed, Keys, Records)) Failed = true;
  });
  return !Failed;
}

// The numeric order as keys of bytes, each line's first twelve in its record: the line's
// numbers in ordered bytes (OrderedBytes), then, for a line whose numbers may equal those of a
// line of another text (ClearSameTextTies), a zero byte and the line's collation key. Ordered bytes
// are never zero, so that the zero sorts a line before the lines whose numbers go on past its own,
// and two keys reach their collation keys only where the lines' numbers are the same. The keys are
// made in parallel in the parts of the numbers, and each part's numbers freed once its keys are
// made. A line of the same text as an earlier one that needs its key gets a copy of that key,
// once all are made. False when the platform gives no collation key for such a line.
template <typename TLines>
bool MakeNumberKeys(const TLines& Lines, TNumberKeys& Numbers, TCollationKeys& Keys,
                    std::vector<TTextRecord>& Records) {
  const size_t Count = Numbers.PartBegin(Numbers.Parts());
  std::vector<std::vector<TCollationKeys::TCopy>> Copies;
  std::vector<std::vector<bool>> MayTie;
  {
    std::vector<std::vector<uint32_t>> Hashes;
    MayTie = Numbers.MayTie(Hashes);
    ClearSameTextTies(Lines, Numbers, Hashes, MayTie, Copies);
  }
  Records.resize(Count);
  Keys.Divide(Count, PartShift(Count));
  std::atomic<bool> Failed{false};
  Parallel::ForEachPart(Numbers.Parts(), [&](size_t P) {
    const size_t Begin = Numbers.PartBegin(P);
    const size_t End = Numbers.PartBegin(P + 1);
    const std::vector<bool>& Tied = MayTie[P];
    const auto TiedLines = static_cast<size_t>(std::count(Tied.begin(), Tied.end(), true));
    // At most nine bytes a number: the room reserved for them is never outgrown, and room
    // never written costs no memory.
    Keys.ReservePart(P, End - Begin,
                     Numbers.Numbers(P) * 5 + (TiedLines > 0 ? Lines.UnitsAtMost(Begin, End) : 0));
    std::vector<uint8_t> Bytes;
    bool Made = true;
    const std::vector<TCollationKeys::TCopy>& CopiesHere = Copies[P];
    size_t Copy = 0;
    size_t NextCopy = CopiesHere.empty() ? SIZE_MAX : CopiesHere[0].Key;
    auto Add = [&](size_t I, bool Copied, std::u16string_view Text) {
      if (!Made || Failed.load(std::memory_order_relaxed)) return;
      Records[I].Index = static_cast<int32_t>(I);
      if (Copied) {
        Made = Keys.AddBytesTo(I, {});  // the copy's room is made once all keys are
        return;
      }
      const auto Key = Numbers.Key(I);
      constexpr size_t Head = RecordSort::PrefixBytes<TTextRecord>;
      Bytes.resize(std::max(Key.size() * MaxOrderedBytes + 1, Head));
      size_t Length = 0;
      for (const int64_t Value : Key) Length += OrderedBytes(Value, Bytes.data() + Length);
      if (Tied[I - Begin]) {
        Bytes[Length++] = 0;
        Made = Keys.AddBytesTo(I, {Bytes.data(), Length}, Text);
        if (Made) RecordSort::LoadPrefix(Records[I], Keys, 0);
      } else {
        // The key is the number bytes alone: the record's head is theirs, zeros past their end.
        Made = Keys.AddBytesTo(I, {Bytes.data(), Length});
        std::fill(Bytes.begin() + static_cast<ptrdiff_t>(Length),
                  Bytes.begin() + static_cast<ptrdiff_t>(std::max(Length, Head)), 0);
        RecordSort::SetPrefix(Records[I], Bytes.data());
      }
    };
    // Only the lines that tie and take no copy are read: the others need no text.
    std::u16string Scratch;
    for (size_t I = Begin; I < End; ++I) {
      const bool Copied = I == NextCopy;
      if (Copied) NextCopy = ++Copy < CopiesHere.size() ? CopiesHere[Copy].Key : SIZE_MAX;
      Add(I, Copied, Tied[I - Begin] && !Copied ? Lines.Text(I, Scratch) : std::u16string_view());
    }
    Numbers.Release(P);
    if (!Made) Failed = true;
  });
  if (Failed) return false;
  Parallel::ForEachPart(Numbers.Parts(), [&](size_t P) {
    for (TCollationKeys::TCopy& Copy : Copies[P]) Copy.Length = Keys.Length(Copy.From);
  });
  Parallel::ForEachPart(Numbers.Parts(), [&](size_t P) {
    if (!Keys.MakeRoomForCopies(P, Copies[P])) Failed = true;
  });
  if (Failed) return false;
  Parallel::ForEachPart(Numbers.Parts(), [&](size_t P) {
    Keys.WriteCopies(Copies[P]);
    for (const TCollationKeys::TCopy& Copy : Copies[P]) {
      RecordSort::LoadPrefix(Records[Copy.Key], Keys, 0);
    }
  });
  return true;
}

// The dictionary order, read from the end of each line when Reversed.
template <typename TLines, typename TFinish>
bool TextSort(const TLines& Lines, int32_t Count, bool Reversed, TSortOrder Order,
              TFinish&& Finish) {
  std::vector<TTextRecord> Records;
  {
    TCollationKeys Keys;
    if (!MakeKeys(Lines, Count, Reversed, Keys, Records)) return false;
    SortInOrder(Lines, Records, Order, TTextOrder{Keys}, Keys);
  }
  Finish(Records);
  return true;
}

// The numeric order. Where nearly every line has numbers, collation keys are made only for
// the lines that may tie on them: with the numbers' bytes up front where lines have several
// numbers, on first use where none has more than one; where many lines have no number at all,
// the dictionary order decides much of the sort, and every line gets its key at once as in the
// other orders. Finish gets the sorted records once the keys are gone.
template <typename TLines, typename TFinish>
bool NumericSort(const TLines& Lines, int32_t Count, TSortOrder Order, TFinish&& Finish) {
  auto Numbers = std::make_unique<TNumberKeys>(Lines, static_cast<size_t>(Count));
  const auto WithoutNumbers = static_cast<int32_t>(Numbers->WithoutNumbers());
  const size_t MostNumbers = Numbers->MostNumbers();  // in one line
  if (WithoutNumbers == Count) {
    // Lines without numbers tie on them, and the dictionary order decides every comparison,
    // as in the text order, whose records hold more of each key and no numbers.
    Numbers.reset();
    return TextSort(Lines, Count, false, Order, Finish);
  }
  auto SetNumbers = [&Numbers](auto& Records) {
    for (size_t I = 0; I < Records.size(); ++I) {
      const auto Key = Numbers->Key(Records[I].Index);
      Records[I].First = Key.empty() ? 0 : Key[0];
      Records[I].Count = static_cast<int32_t>(std::min<size_t>(Key.size(), INT32_MAX));
    }
  };
  if (Count - WithoutNumbers <= Count / 16) {
    // Few lines have numbers: the dictionary order decides most comparisons, and its records
    // hold more of each key than numeric ones beside the numbers could.
    std::vector<uint64_t> Numbered((static_cast<size_t>(Count) + 63) / 64);
    for (int32_t I = 0; I < Count; ++I) {
      if (!Numbers->Key(I).empty()) {
        Numbered[static_cast<size_t>(I) / 64] |= uint64_t{1} << (static_cast<size_t>(I) % 64);
      }
    }
    std::vector<TTextRecord> Records;
    {
      TCollationKeys Keys;
      if (!MakeKeys(Lines, Count, false, Keys, Records)) return false;
      SortInOrder(Lines, Records, Order, TFewNumbersOrder{*Numbers, Numbered, TTextOrder{Keys}},
                  Keys);
    }
    Numbers.reset();
    Finish(Records);
  } else if (WithoutNumbers > Count / 16) {
    std::vector<TNumericTextRecord> Records;
    {
      TCollationKeys Keys;
      if (!MakeKeys(Lines, Count, false, Keys, Records)) return false;
      SetNumbers(Records);
      TTextOrder Text{Keys};
      SortInOrder(Lines, Records, Order, TNumericOrder<TTextOrder>{*Numbers, Text}, Keys);
    }
    Numbers.reset();
    Finish(Records);
  } else if (MostNumbers > 1) {
    std::vector<TTextRecord> Records;
    {
      TCollationKeys Keys;
      if (!MakeNumberKeys(Lines, *Numbers, Keys, Records)) return false;
      Numbers.reset();
      SortInOrder(Lines, Records, Order, TTextOrder{Keys}, Keys);
    }
    Finish(Records);
  } else {
    // No line has more than one number, so its record holds all of them: the comparisons
    // and the deepening read the table only for lines with more, and it is handed over to
    // the records as they are made rather than kept beside them.
    const auto SortNumbers = [&]<typename TFirst>() {
      std::vector<TNumericRecordOf<TFirst>> Records;
      Records.reserve(static_cast<size_t>(Count));
      Numbers->Drain([&Records](size_t I, std::span<const int64_t> Key) {
        Records.push_back({static_cast<TFirst>(Key.empty() ? 0 : Key[0]), static_cast<int32_t>(I),
                           static_cast<int32_t>(Key.size())});
      });
      {
        TLazyTextOrder<TLines> Text(Lines, static_cast<size_t>(Count));
        SortInOrder(Lines, Records, Order, TNumericOrder<TLazyTextOrder<TLines>>{*Numbers, Text},
                    TCollationKeys());
      }
      Numbers.reset();
      Finish(Records);
    };
    bool Narrow = true;
    for (int32_t I = 0; I < Count && Narrow; ++I) {
      const std::span<const int64_t> Key = Numbers->Key(I);
      Narrow = Key.empty() || (Key[0] >= INT32_MIN && Key[0] <= INT32_MAX);
    }
    if (Narrow) {
      SortNumbers.template operator()<int32_t>();
    } else {
      SortNumbers.template operator()<int64_t>();
    }
  }
  return true;
}

// The sort of any lines: Finish(Records) gets the sorted records once the keys are gone.
template <typename TLines, typename TFinish>
bool SortLines(const TLines& Lines, int32_t Count, TSortKind Kind, TSortOrder Order,
               TFinish&& Finish) {
  if (Count <= 0) return true;
  if (Kind == skNumeric) return NumericSort(Lines, Count, Order, Finish);

  // The other orders consist of or fall back to the dictionary order, in which most lines
  // take part: every line gets its collation key at once.
  const bool Reversed = Kind == skReverseText;
  if (Kind == skByteLength) {
    std::vector<TByteLengthRecord> Records;
    {
      TCollationKeys Keys;
      if (!MakeKeys(Lines, Count, Reversed, Keys, Records)) return false;
      const size_t Parts = Parallel::PartCount(Records.size(), KeyGrain);
      Parallel::ForEachPart(Parts, [&](size_t P) {
        Lines.ForEachMeasure(
            Parallel::PartBegin(Records.size(), Parts, P),
            Parallel::PartBegin(Records.size(), Parts, P + 1),
            [&Records](size_t I, int32_t Measure) { Records[I].Measure = Measure; });
      });
      SortInOrder(Lines, Records, Order, TByteLengthOrder{TTextOrder{Keys}}, Keys);
    }
    Finish(Records);
    return true;
  }
  return TextSort(Lines, Count, Reversed, Order, Finish);
}

}  // namespace

bool Sort(const TLineSource& Source, int32_t Count, TSortKind Kind, TSortOrder Order,
          const std::function<void(std::span<uint32_t> Sorted)>& Take) {
  return SortLines(TSourceLines{Source}, Count, Kind, Order,
                   [&Take](auto& Records) { Take(IndexesInPlace(Records)); });
}

}  // namespace KeyedSort
