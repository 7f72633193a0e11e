// The keyed engine's record quicksort on its own: the same moves as the list's quicksort for
// a consistent comparison, and for one that contradicts itself no record touched outside the
// range and every record still present once.
#include "sorting/RecordQuickSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TemplateList/ListClone.h"
#include "sorting/CollationKeys.h"
#include "support/PinnedCollation.h"

using namespace KeyedSort;
using RecordSort::QuickSortRecords;
using RecordSort::SortRecords;

namespace {

struct TPlainRecord {
  int32_t Index;
  int32_t Value;
};

struct TPrefixedRecord {
  uint64_t Prefix;
  uint32_t Prefix2;
  int32_t Index;
};

// The record of key I with its prefixes from the key's start.
TPrefixedRecord Prefixed(const TCollationKeys& Keys, int32_t I) {
  TPrefixedRecord Record{0, 0, I};
  RecordSort::LoadPrefix(Record, Keys, 0);
  return Record;
}

// Lines and their cells, as the engine sees them.
struct TLines {
  explicit TLines(int32_t Count, uint32_t Seed) {
    std::mt19937 Rng(Seed);
    for (int32_t I = 0; I < Count; ++I) {
      // Long shared beginnings, so that the prefixes move deeper into the keys.
      Texts.push_back(u"shared beginning of every line " +
                      std::u16string(1, static_cast<char16_t>(u'a' + Rng() % 5)) +
                      std::u16string(Rng() % 4, u'x'));
    }
  }
  std::vector<std::u16string> Texts;
};

// Answers at random, or below everything at first (which drives the quicksort to quadratic
// time and so through every fallback) and at random after that; complains about any record
// that does not lie inside [Low, High] of the array or is not the pivot's copy.
template <typename TRecord>
struct TDisorder {
  const TRecord* Array;
  int32_t Size;
  int32_t Low;
  int32_t High;
  mutable std::mt19937 Rng{5};
  mutable int64_t LessFirst = 0;
  mutable bool SawOutsider = false;

  void Check(const TRecord& R) const {
    const bool InArray = &R >= Array && &R < Array + Size;
    if (InArray && (&R < Array + Low || &R > Array + High)) SawOutsider = true;
  }
  int32_t operator()(const TRecord& A, const TRecord& B, size_t) const {
    Check(A);
    Check(B);
    if (LessFirst > 0) {
      --LessFirst;
      return -1;
    }
    return static_cast<int32_t>(Rng() % 3) - 1;
  }
};

template <typename TRecord>
std::vector<int32_t> Indices(const std::vector<TRecord>& Records) {
  std::vector<int32_t> Out;
  for (const auto& R : Records) Out.push_back(R.Index);
  return Out;
}

std::vector<int32_t> Identity(size_t N) {
  std::vector<int32_t> Out(N);
  for (size_t I = 0; I < N; ++I) Out[I] = static_cast<int32_t>(I);
  return Out;
}

int32_t ByValueOf(void* A, void* B) {
  const auto X = *static_cast<const int32_t*>(A), Y = *static_cast<const int32_t*>(B);
  return X < Y ? -1 : X > Y ? 1 : 0;
}

}  // namespace

TEST(RecordQuickSort, MovesRecordsAsTheListQuicksortMovesCells) {
  // Few distinct values, so that most comparisons are ties placed by the scheme alone.
  std::mt19937 Rng(11);
  for (int32_t N : {1, 2, 3, 7, 64, 65, 500, 5000}) {
    std::vector<int32_t> Values(N);
    for (auto& V : Values) V = static_cast<int32_t>(Rng() % 4);
    std::vector<void*> Cells;
    for (auto& V : Values) Cells.push_back(&V);
    ListClone::QuickSort(Cells.data(), 0, N - 1, ByValueOf);

    std::vector<TPlainRecord> Records(N);
    for (int32_t I = 0; I < N; ++I) Records[I] = {I, Values[I]};
    int64_t Budget = INT64_MAX;
    ASSERT_TRUE(QuickSortRecords(
        Records.data(), 0, N - 1,
        [](const TPlainRecord& A, const TPlainRecord& B, size_t) {
          return A.Value < B.Value ? -1 : A.Value > B.Value ? 1 : 0;
        },
        TCollationKeys(), 0, false, Budget));
    for (int32_t I = 0; I < N; ++I) {
      ASSERT_EQ(&Values[Records[I].Index], Cells[I]) << N << " records, position " << I;
    }
  }
}

TEST(RecordQuickSort, RangeOfOneComparesItsRecordWithItselfTwice) {
  std::vector<TPlainRecord> Records{{0, 0}, {1, 0}, {2, 0}};
  int Calls = 0;
  int64_t Budget = INT64_MAX;
  EXPECT_TRUE(QuickSortRecords(
      Records.data(), 1, 1,
      [&Calls](const TPlainRecord& A, const TPlainRecord& B, size_t) {
        ++Calls;
        EXPECT_EQ(A.Index, 1);
        EXPECT_EQ(B.Index, 1);
        return 0;
      },
      TCollationKeys(), 0, false, Budget));
  EXPECT_EQ(Calls, 2);
  EXPECT_EQ(Indices(Records), Identity(3));
}

TEST(RecordQuickSort, StopsWhenTheBudgetRunsOut) {
  std::vector<TPlainRecord> Records(100);
  for (int32_t I = 0; I < 100; ++I) Records[I] = {I, I < 50 ? I : 100 - I};  // organ pipe
  int64_t Budget = 150;
  EXPECT_FALSE(QuickSortRecords(
      Records.data(), 0, 99,
      [](const TPlainRecord& A, const TPlainRecord& B, size_t) {
        return A.Value < B.Value ? -1 : A.Value > B.Value ? 1 : 0;
      },
      TCollationKeys(), 0, false, Budget));
  std::vector<int32_t> Seen = Indices(Records);
  std::sort(Seen.begin(), Seen.end());
  EXPECT_EQ(Seen, Identity(100)) << "a half-done sort still holds every record";
}

TEST(RecordQuickSort, ScansStayInTheRangeWhateverTheComparisonAnswers) {
  for (int32_t N : {1, 2, 3, 9, 100, 3000}) {
    for (int64_t LessFirst : {int64_t{0}, int64_t{1} << 40}) {
      std::vector<TPlainRecord> Records(N + 6);
      for (int32_t I = 0; I < N + 6; ++I) Records[I] = {I, 0};
      TDisorder<TPlainRecord> Compare{Records.data(), N + 6, 3, N + 2};
      Compare.LessFirst = LessFirst;
      int64_t Budget = INT64_MAX;
      QuickSortRecords(Records.data(), 3, N + 2, Compare, TCollationKeys(), 0, false, Budget);
      EXPECT_FALSE(Compare.SawOutsider) << N << " records";
      std::vector<int32_t> Seen = Indices(Records);
      for (int32_t I : {0, 1, 2}) EXPECT_EQ(Seen[I], I);
      for (int32_t I : {N + 3, N + 4, N + 5}) EXPECT_EQ(Seen[I], I);
      std::sort(Seen.begin(), Seen.end());
      EXPECT_EQ(Seen, Identity(N + 6));
    }
  }
}

class RecordSortDisorder : public testing::Test {
 protected:
  TPinnedCollation Collation{"en"};
};

TEST_F(RecordSortDisorder, EveryFallbackKeepsEachRecordOnce) {
  // Below everything for long enough to exhaust the work budget, then at random, ties
  // between different lines included: the quicksort, the merge sort that takes over and the
  // quicksort without a budget all run on the same contradicting comparison.
  for (int32_t N : {1, 2, 70, 1000}) {
    for (int64_t LessFirst : {int64_t{0}, int64_t{50} * N, int64_t{1} << 40}) {
      TLines Lines(N, static_cast<uint32_t>(N));
      TCollationKeys Keys;
      for (const auto& Text : Lines.Texts) ASSERT_TRUE(Keys.Add(Text));
      std::vector<TPrefixedRecord> Records(N);
      for (int32_t I = 0; I < N; ++I) Records[I] = Prefixed(Keys, I);
      TDisorder<TPrefixedRecord> Compare{Records.data(), N, 0, N - 1};
      Compare.LessFirst = LessFirst;

      SortRecords([&Lines](int32_t I, int32_t J) { return Lines.Texts[I] == Lines.Texts[J]; },
                  Records, Compare, Keys);

      EXPECT_FALSE(Compare.SawOutsider) << N << " records";
      std::vector<int32_t> Seen = Indices(Records);
      std::sort(Seen.begin(), Seen.end());
      EXPECT_EQ(Seen, Identity(N));
    }
  }
}

TEST_F(RecordSortDisorder, KeysAtTheirEndsOrderAsTheirLengths) {
  // Keys that agree up to the end of the shorter one, and an empty text whose key is the
  // shortest: records deepened past the ends of their keys still sort as the texts do.
  std::vector<std::u16string> Texts;
  for (int I = 0; I < 200; ++I) Texts.push_back(std::u16string(I % 40, u'a'));
  Texts.push_back(u"");
  TCollationKeys Keys;
  for (const auto& Text : Texts) ASSERT_TRUE(Keys.Add(Text));
  std::vector<TPrefixedRecord> Records(Texts.size());
  for (size_t I = 0; I < Texts.size(); ++I) {
    Records[I] = Prefixed(Keys, static_cast<int32_t>(I));
  }
  SortRecords([&Texts](int32_t I, int32_t J) { return Texts[I] == Texts[J]; }, Records,
              [&Keys](const TPrefixedRecord& A, const TPrefixedRecord& B, size_t Depth) {
                if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix ? -1 : 1;
                if (A.Prefix2 != B.Prefix2) return A.Prefix2 < B.Prefix2 ? -1 : 1;
                return Keys.CompareFrom(A.Index, B.Index, Depth + 12);
              },
              Keys);
  for (size_t I = 1; I < Records.size(); ++I) {
    ASSERT_LE(Texts[Records[I - 1].Index].size(), Texts[Records[I].Index].size()) << I;
  }
}
