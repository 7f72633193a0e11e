// The record quicksort with its parts on several threads: the same permutation as on one
// thread, and the work budget runs out for exactly the same budgets.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "base/Parallel.h"
#include "sorting/RecordQuickSort.h"

using namespace KeyedSort;

namespace {

struct TValueRecord {
  int32_t Index;
  int32_t Value;
};

int32_t ByValue(const TValueRecord& A, const TValueRecord& B, size_t) {
  return A.Value < B.Value ? -1 : A.Value > B.Value ? 1 : 0;
}

std::vector<TValueRecord> Records(const std::vector<int32_t>& Values) {
  std::vector<TValueRecord> Result(Values.size());
  for (size_t I = 0; I < Values.size(); ++I) Result[I] = {static_cast<int32_t>(I), Values[I]};
  return Result;
}

std::vector<int32_t> Indices(const std::vector<TValueRecord>& Sorted) {
  std::vector<int32_t> Result;
  for (const auto& R : Sorted) Result.push_back(R.Index);
  return Result;
}

// Runs the sort of all records with the given budget on Threads threads.
bool SortOn(unsigned Threads, std::vector<TValueRecord>& Sorted, int64_t Budget) {
  Parallel::SetThreadCount(Threads);
  const bool Done = RecordSort::QuickSortAll(Sorted, ByValue, TCollationKeys(), Budget);
  Parallel::SetThreadCount(0);
  return Done;
}

// Value sequences: many ties, two organ pipes that the first pass leaves side by side (so
// both degrade at once on different threads), and sorted input.
std::vector<std::vector<int32_t>> Inputs() {
  std::mt19937 Rng(42);
  std::vector<std::vector<int32_t>> Result;
  for (int32_t Distinct : {3, 1000, 1 << 30}) {
    std::vector<int32_t> Values(60000);
    for (auto& V : Values) V = static_cast<int32_t>(Rng() % static_cast<uint32_t>(Distinct));
    Result.push_back(Values);
  }
  std::vector<int32_t> Pipes;
  const int32_t Half = 6000;
  for (int32_t I = 0; I < Half / 2; ++I) Pipes.push_back(I);
  for (int32_t I = Half / 2; I > 0; --I) Pipes.push_back(I);
  Pipes.push_back(100000);
  for (int32_t I = 0; I < Half / 2; ++I) Pipes.push_back(100001 + I);
  for (int32_t I = Half / 2; I > 0; --I) Pipes.push_back(100001 + I);
  Result.push_back(Pipes);
  std::vector<int32_t> Sorted(30000);
  for (int32_t I = 0; I < 30000; ++I) Sorted[I] = I / 3;
  Result.push_back(Sorted);
  return Result;
}

TEST(ParallelQuickSort, GivesThePermutationOfOneThread) {
  for (const auto& Values : Inputs()) {
    auto Single = Records(Values);
    int64_t Budget = INT64_MAX;
    ASSERT_TRUE(RecordSort::QuickSortRecords(Single.data(), 0,
                                             static_cast<int32_t>(Single.size()) - 1, ByValue,
                                             TCollationKeys(), 0, false, Budget));
    for (unsigned Threads : {2u, 3u, 8u}) {
      auto Sorted = Records(Values);
      ASSERT_TRUE(SortOn(Threads, Sorted, INT64_MAX));
      ASSERT_EQ(Indices(Sorted), Indices(Single)) << Threads << " threads";
    }
  }
}

TEST(ParallelQuickSort, BudgetRunsOutForTheSameBudgetsOnAnyThreadCount) {
  for (const auto& Values : Inputs()) {
    // The work the whole sort takes: exactly enough budget succeeds, one less does not.
    auto Measured = Records(Values);
    int64_t Left = INT64_MAX;
    RecordSort::QuickSortRecords(Measured.data(), 0, static_cast<int32_t>(Measured.size()) - 1,
                                 ByValue, TCollationKeys(), 0, false, Left);
    const int64_t Work = INT64_MAX - Left;
    for (unsigned Threads : {1u, 2u, 8u}) {
      auto Enough = Records(Values);
      EXPECT_TRUE(SortOn(Threads, Enough, Work)) << Threads << " threads";
      auto Short = Records(Values);
      EXPECT_FALSE(SortOn(Threads, Short, Work - 1)) << Threads << " threads";
      // Half-done or not, every record is there once.
      std::vector<char> Seen(Short.size(), 0);
      for (const auto& R : Short) ASSERT_EQ(Seen[R.Index]++, 0);
    }
  }
}

}  // namespace
