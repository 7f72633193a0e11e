#include "sorting/LineTies.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/Parallel.h"
#include "sorting/Comparators.h"
#include "sorting/NumericKey.h"

namespace LineTies {

namespace {

// How many neighbours a part of the search for ties compares at least.
constexpr size_t TieGrain = 4096;

// From how many lines a run of ties is ordered by keys made once a line rather than by
// comparisons that make them afresh.
constexpr size_t KeyedRun = 16;

}  // namespace

// The length's four bytes, high first, or the numbers' ordered bytes and a zero
// (KeyedSort::OrderedBytes), then the collation key of the line as the kind reads it.
bool WholeLineKey(TSortKind Kind, std::u16string_view Line, std::string& Out,
                  std::u16string& Scratch) {
  std::string Head;
  if (Kind == StringRecordListNormalSort::skByteLength) {
    const auto Measure = static_cast<uint32_t>(StringUnit::ByteLength(Line));
    for (int Shift = 24; Shift >= 0; Shift -= 8) Head += static_cast<char>(Measure >> Shift);
  } else if (Kind == StringRecordListNormalSort::skNumeric) {
    uint8_t Bytes[KeyedSort::MaxOrderedBytes];
    for (const int64_t Value : StringRecordListNormalSort::ExtractNumbers(Line)) {
      Head.append(reinterpret_cast<const char*>(Bytes), KeyedSort::OrderedBytes(Value, Bytes));
    }
    Head += '\0';
  } else if (Kind == StringRecordListNormalSort::skReverseText) {
    Scratch.assign(Line);
    StringUnit::ReadFromEnd(Scratch, 0);
    Line = Scratch;
  }
  if (!StringUnit::CollationKey(Line, 0, Out)) return false;
  Out.insert(0, Head);
  return true;
}

void Settle(std::span<uint32_t> Sorted, const TTieLines& Lines, TSortKind Kind, TSortOrder Order,
            TTies Ties) {
  if (Ties == tiAsSorted || Sorted.size() < 2) return;
  const uint32_t Flags = StringUnit::CollationFlags();
  // Tied[K]: the line at K + 1 has the key of the line at K. The keys of equal lines lie next
  // to each other, so each run of them is found between neighbours.
  const size_t Pairs = Sorted.size() - 1;
  std::vector<uint8_t> Tied(Pairs);
  const size_t Parts = Parallel::PartCount(Pairs, TieGrain);
  Parallel::ForEachPart(Parts, [&](size_t P) {
    std::u16string ScratchA, ScratchB;
    const bool Measured = Kind == StringRecordListNormalSort::skByteLength;
    for (size_t K = Parallel::PartBegin(Pairs, Parts, P);
         K < Parallel::PartBegin(Pairs, Parts, P + 1); ++K) {
      const uint32_t A = Sorted[K], B = Sorted[K + 1];
      const int32_t MeasureA = Measured ? Lines.Measure(A, ScratchA) : 0;
      const int32_t MeasureB = Measured ? Lines.Measure(B, ScratchB) : 0;
      const std::u16string_view KeyA = Lines.Key(A, ScratchA);
      const std::u16string_view KeyB = Lines.Key(B, ScratchB);
      Tied[K] = StringRecordListNormalSort::CompareInOrder(Kind, KeyA, MeasureA, KeyB, MeasureB,
                                                           Flags) == 0;
    }
  });
  // Each run is ordered by the part in which it begins.
  const bool Ascending = Order == StringRecordListNormalSort::soAscending;
  Parallel::ForEachPart(Parts, [&](size_t P) {
    std::u16string ScratchA, ScratchB;
    const auto Before = [&](uint32_t A, uint32_t B) {
      if (Ties == tiWholeLine) {
        const std::u16string_view LineA = Lines.Whole(A, ScratchA);
        const std::u16string_view LineB = Lines.Whole(B, ScratchB);
        const int32_t Result = StringRecordListNormalSort::CompareInOrder(
            Kind, LineA, StringUnit::ByteLength(LineA), LineB, StringUnit::ByteLength(LineB), 0);
        if (Result != 0) return Ascending ? Result < 0 : Result > 0;
      }
      return A < B;
    };
    // A long run: each line's whole-line key is made once, and the keys sorted.
    std::vector<std::pair<std::string, uint32_t>> Keyed;
    const auto SortedByKeys = [&](std::span<uint32_t> Run) {
      Keyed.resize(Run.size());
      for (size_t R = 0; R < Run.size(); ++R) {
        Keyed[R].second = Run[R];
        if (!WholeLineKey(Kind, Lines.Whole(Run[R], ScratchA), Keyed[R].first, ScratchB)) {
          return false;
        }
      }
      std::sort(Keyed.begin(), Keyed.end(), [Ascending](const auto& A, const auto& B) {
        if (A.first != B.first) return Ascending ? A.first < B.first : A.first > B.first;
        return A.second < B.second;
      });
      for (size_t R = 0; R < Run.size(); ++R) Run[R] = Keyed[R].second;
      return true;
    };
    const size_t End = Parallel::PartBegin(Pairs, Parts, P + 1);
    for (size_t K = Parallel::PartBegin(Pairs, Parts, P); K < End; ++K) {
      if (!Tied[K] || (K > 0 && Tied[K - 1])) continue;
      size_t Last = K + 1;
      while (Last < Pairs && Tied[Last]) ++Last;
      const std::span<uint32_t> Run = Sorted.subspan(K, Last + 1 - K);
      if (Ties == tiWholeLine && Run.size() >= KeyedRun && SortedByKeys(Run)) continue;
      std::sort(Run.begin(), Run.end(), Before);
    }
  });
}

}  // namespace LineTies
