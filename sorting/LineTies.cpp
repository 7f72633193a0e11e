#include "sorting/LineTies.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/Parallel.h"
#include "sorting/Comparators.h"

namespace LineTies {

namespace {

// How many neighbours a part of the search for ties compares at least.
constexpr size_t TieGrain = 4096;

}  // namespace

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
    const size_t End = Parallel::PartBegin(Pairs, Parts, P + 1);
    for (size_t K = Parallel::PartBegin(Pairs, Parts, P); K < End; ++K) {
      if (!Tied[K] || (K > 0 && Tied[K - 1])) continue;
      size_t Last = K + 1;
      while (Last < Pairs && Tied[Last]) ++Last;
      std::sort(Sorted.begin() + static_cast<ptrdiff_t>(K),
                Sorted.begin() + static_cast<ptrdiff_t>(Last) + 1, Before);
    }
  });
}

}  // namespace LineTies
