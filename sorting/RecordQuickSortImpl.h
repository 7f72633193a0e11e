// The record quicksort's implementation (contract in RecordQuickSort.h): the exact scheme of
// ListClone::QuickSort with two additions that never change the resulting text: key bytes
// shared by a whole range are skipped, and a work budget hands inputs on which the middle
// pivot degrades to quadratic time to an O(n log n) sort when the text cannot tell.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Parallel.h"
#include "sorting/RecordQuickSort.h"

namespace KeyedSort::RecordSort {

// The quicksort only ever compares records of the range it works on, and a range holds lines
// of neighbouring ranks, which often share their first key bytes. Key bytes that every record
// of the range shares decide nothing there: the prefixes move past them, so that such lines
// are still told apart inside the record array. Exhausted tells that no key of the range has
// bytes left to move on to.
constexpr int32_t DeepenFrom = 64;  // smaller ranges are not worth the scan
constexpr size_t DeepenBy = 3;      // fewer shared bytes are not worth fetching the keys again

template <typename TRecord>
void Deepen(TRecord* Records, int32_t L, int32_t R, const TCollationKeys& Keys, size_t& Depth,
            bool& Exhausted) {
  for (;;) {
    // The bits in which any prefix differs from the first; the scan stops as soon as too few
    // leading bytes are left in common.
    const uint64_t First = Records[L].Prefix;
    const uint64_t Stop = ~uint64_t{0} << (64 - 8 * DeepenBy);
    uint64_t Differ = 0;
    for (int32_t K = L + 1; K <= R && (Differ & Stop) == 0; ++K) {
      Differ |= Records[K].Prefix ^ First;
    }
    if ((Differ & Stop) != 0) return;
    const size_t Shared = Differ == 0 ? 8 : static_cast<size_t>(std::countl_zero(Differ)) / 8;
    if (Shared == 8) {
      size_t Longest = 0;
      for (int32_t K = L; K <= R; ++K) Longest = std::max(Longest, Keys.Length(Records[K].Index));
      if (Longest <= Depth + PrefixBytes<TRecord>) {
        Exhausted = true;
        return;
      }
    }
    for (int32_t K = L; K <= R; ++K) {
      // The keys lie scattered over the arena: fetching ahead overlaps the cache misses.
      if (K + 16 <= R) Keys.PrefetchOffsets(Records[K + 16].Index);
      if (K + 8 <= R) Keys.PrefetchKey(Records[K + 8].Index, Depth + PrefixBytes<TRecord>);
      AdvancePrefix(Records[K], Keys, Depth, Shared);
    }
    Depth += Shared;
    if (Shared < 8) return;
  }
}

// Before a pass over a large range not yet exhausted: skips what all its records share, by the
// order's own step where it has one (numbers), else by the key bytes.
template <typename TRecord, typename TOrder>
void DeepenRange(TRecord* Records, int32_t L, int32_t R, const TOrder& Compare,
                 const TCollationKeys& Keys, size_t& Depth, bool& Exhausted) {
  if (Exhausted || R - L + 1 < DeepenFrom) return;
  if constexpr (DeepeningOrder<TOrder, TRecord>) {
    Compare.Deepen(Records, L, R, Depth, Exhausted);
  } else if constexpr (PrefixedRecord<TRecord>) {
    Deepen(Records, L, R, Keys, Depth, Exhausted);
  }
}

// One pass of ListClone::QuickSort over Records[L .. R] at key depth Depth (see
// ListClone::PartitionPass).
template <typename TRecord, typename TOrder>
void PartitionPass(TRecord* Records, int32_t L, int32_t R, const TOrder& Compare, size_t Depth,
                   int32_t& I, int32_t& J) {
  ListClone::PartitionPass(
      Records, L, R,
      [&Compare, Depth](const TRecord& A, const TRecord& B) { return Compare(A, B, Depth); }, I, J);
}

// ListClone::QuickSort step for step (recursion into the smaller part), so equal
// comparisons give the same permutation.
template <typename TRecord, typename TOrder>
bool QuickSortRecords(TRecord* Records, int32_t L, int32_t R, const TOrder& Compare,
                      const TCollationKeys& Keys, size_t Depth, bool Exhausted, int64_t& Budget) {
  do {
    Budget -= R - L + 1;
    if (Budget < 0) return false;
    DeepenRange(Records, L, R, Compare, Keys, Depth, Exhausted);
    int32_t I;
    int32_t J;
    PartitionPass(Records, L, R, Compare, Depth, I, J);
    if (J - L < R - I) {
      if (L < J && !QuickSortRecords(Records, L, J, Compare, Keys, Depth, Exhausted, Budget)) {
        return false;
      }
      L = I;
    } else {
      if (I < R && !QuickSortRecords(Records, I, R, Compare, Keys, Depth, Exhausted, Budget)) {
        return false;
      }
      R = J;
    }
  } while (L < R);
  return true;
}

// The parts of a pass never overlap, and what happens in one depends only on the records in
// it: sorting the smaller part on another thread while this one goes on with the larger gives
// the very permutation of QuickSortRecords.
//
// The budget is shared. The sequential sort runs out exactly when the sizes of all its passes
// add up to more than the budget, whatever the order of the passes: the running total only
// grows. Here each pass takes its size from the shared budget at once, so whichever pass
// takes it below zero, some pass does exactly when the sequential sort's would; the others
// then stop. The outcome, and so the sort that follows, is the same for any number of threads.
template <typename TRecord, typename TOrder>
class TParallelQuickSort {
 public:
  // Parts smaller than this are sorted on the thread that made them.
  static constexpr int32_t SplitFrom = 2048;

  TParallelQuickSort(TRecord* Records, const TOrder& Compare, const TCollationKeys& Keys,
                     int64_t Budget, unsigned Threads)
      : FRecords(Records), FCompare(Compare), FKeys(Keys), FBudget(Budget), FGroup(Threads) {}

  // QuickSortRecords(Records, L, R, ...) with the budget given; false when it ran out.
  bool Sort(int32_t L, int32_t R) {
    try {
      Range(L, R, 0, false);
    } catch (...) {
      FStop = true;  // the other threads give up; the group's destructor joins them
      throw;
    }
    FGroup.Wait();  // every part's thread is joined here; a comparison's exception rethrown
    return !FStop.load();
  }

 private:
  void Range(int32_t L, int32_t R, size_t Depth, bool Exhausted) {
    do {
      if (FStop.load(std::memory_order_relaxed) || FGroup.Failed()) return;
      const int64_t Size = R - L + 1;
      if (FBudget.fetch_sub(Size, std::memory_order_relaxed) - Size < 0) {
        FStop = true;
        return;
      }
      DeepenRange(FRecords, L, R, FCompare, FKeys, Depth, Exhausted);
      int32_t I;
      int32_t J;
      PartitionPass(FRecords, L, R, FCompare, Depth, I, J);
      // The smaller part as the sequential sort recurses into it; the larger goes on here.
      int32_t Low = I;
      int32_t High = R;
      if (J - L < R - I) {
        Low = L;
        High = J;
        L = I;
      } else {
        R = J;
      }
      if (Low < High) {
        if (High - Low + 1 >= SplitFrom) {
          FGroup.Run([this, Low, High, Depth, Exhausted] { Range(Low, High, Depth, Exhausted); });
        } else {
          Range(Low, High, Depth, Exhausted);
        }
      }
    } while (L < R);
  }

  TRecord* const FRecords;
  const TOrder& FCompare;
  const TCollationKeys& FKeys;
  std::atomic<int64_t> FBudget;
  std::atomic<bool> FStop{false};  // the budget ran out, or a comparison failed
  Parallel::TTaskGroup FGroup;
};

// QuickSortRecords over all records, on the threads the settings allow when there are enough
// records.
template <typename TRecord, typename TOrder>
bool QuickSortAll(std::vector<TRecord>& Records, const TOrder& Compare, const TCollationKeys& Keys,
                  int64_t Budget) {
  const auto Last = static_cast<int32_t>(Records.size()) - 1;
  const unsigned Threads = Parallel::ThreadCount();
  if (Threads > 1 && Records.size() >= 2 * TParallelQuickSort<TRecord, TOrder>::SplitFrom) {
    TParallelQuickSort<TRecord, TOrder> Sort(Records.data(), Compare, Keys, Budget, Threads);
    return Sort.Sort(0, Last);
  }
  return QuickSortRecords(Records.data(), 0, Last, Compare, Keys, 0, false, Budget);
}

// Puts the records back in their order before the sort, taken back to depth 0 (their key
// bytes from the start of the keys again), so that a sort can start over.
template <typename TRecord, typename TOrder>
void RestoreRecords(std::vector<TRecord>& Records, const TOrder& Compare,
                    const TCollationKeys& Keys) {
  for (size_t I = 0; I < Records.size(); ++I) {
    while (static_cast<size_t>(Records[I].Index) != I)
      std::swap(Records[I], Records[Records[I].Index]);
  }
  if constexpr (DeepeningOrder<TOrder, TRecord>) {
    for (TRecord& Record : Records) Compare.Restore(Record);
  } else if constexpr (PrefixedRecord<TRecord>) {
    for (size_t I = 0; I < Records.size(); ++I) LoadPrefix(Records[I], Keys, 0);
  }
}

// A bottom-up merge sort by Less. Every position it reads or writes follows from the number
// of records alone, so unlike std::sort, whose unguarded inner loops trust the comparison, no
// answer of Less can take it outside the records.
template <typename TRecord, typename TLess>
void MergeSort(std::vector<TRecord>& Records, const TLess& Less) {
  const size_t N = Records.size();
  std::vector<TRecord> Buffer(N);
  TRecord* From = Records.data();
  TRecord* To = Buffer.data();
  for (size_t Width = 1; Width < N; Width *= 2) {
    for (size_t Low = 0; Low < N; Low += 2 * Width) {
      const size_t Middle = std::min(Low + Width, N);
      const size_t High = std::min(Low + 2 * Width, N);
      size_t A = Low;
      size_t B = Middle;
      size_t K = Low;
      while (A < Middle && B < High) To[K++] = Less(From[B], From[A]) ? From[B++] : From[A++];
      while (A < Middle) To[K++] = From[A++];
      while (B < High) To[K++] = From[B++];
    }
    std::swap(From, To);
  }
  if (From != Records.data()) std::copy(From, From + N, Records.data());
}

// Sorts the records by any O(n log n) method and tells whether that gives the text the
// quicksort would give. Any correct sort puts the lines in the same order up to the order of
// lines that compare equal; when every such group holds lines that are the same code unit
// for code unit, the order inside the groups cannot be seen in the text.
template <typename TRecord, typename TOrder, typename TSame>
bool SortByAnyMethod(const TSame& Same, std::vector<TRecord>& Records, const TOrder& Compare) {
  MergeSort(Records, [&Compare](const TRecord& A, const TRecord& B) {
    const int32_t Result = Compare(A, B, 0);
    return Result != 0 ? Result < 0 : A.Index < B.Index;
  });
  for (size_t K = 1; K < Records.size(); ++K) {
    if (Compare(Records[K - 1], Records[K], 0) == 0 &&
        !Same(Records[K - 1].Index, Records[K].Index)) {
      return false;
    }
  }
  return true;
}

// The quicksort's passes add up to about 1.4 n log2 n on ordinary texts; a budget of a few
// times that is only exhausted by the inputs (organ pipes and the like) on which the middle
// pivot degrades to quadratic time.
inline int64_t WorkBudget(size_t Count) {
  return 3 * static_cast<int64_t>(Count) * (std::bit_width(Count) + 2);
}

// When an input drives the quicksort towards quadratic time, a sort of guaranteed
// O(n log n) takes over if it yields the same text, which it does unless lines that differ
// compare equal; only then does the quicksort run to its end whatever it costs.
template <typename TRecord, typename TOrder, typename TSame>
void SortRecords(const TSame& Same, std::vector<TRecord>& Records, const TOrder& Compare,
                 const TCollationKeys& Keys) {
  if (Records.empty()) return;
  if (QuickSortAll(Records, Compare, Keys, WorkBudget(Records.size()))) return;
  RestoreRecords(Records, Compare, Keys);
  if (SortByAnyMethod(Same, Records, Compare)) return;
  RestoreRecords(Records, Compare, Keys);
  QuickSortAll(Records, Compare, Keys, INT64_MAX);
}

}  // namespace KeyedSort::RecordSort
