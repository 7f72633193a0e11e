#include "TemplateList/ListClone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "base/Exceptions.h"

using namespace ListClone;

namespace {

// Small integers stand in for items; they are never dereferenced.
void* P(intptr_t V) { return reinterpret_cast<void*>(V); }

std::vector<intptr_t> Items(const TListClone& L) {
  std::vector<intptr_t> Out;
  for (int32_t I = 0; I < L.Count(); ++I) Out.push_back(reinterpret_cast<intptr_t>(L.GetItem(I)));
  return Out;
}

void Fill(TListClone& L, std::initializer_list<intptr_t> Values) {
  for (auto V : Values) L.Add(P(V));
}

class RecordingList : public TListClone {
 public:
  std::vector<std::pair<intptr_t, TListCloneChange>> Log;

 protected:
  void NotifyChange(void* Item, TListCloneChange Change) override {
    Log.emplace_back(reinterpret_cast<intptr_t>(Item), Change);
  }
};

void ExpectListError(auto&& Action) {
  try {
    Action();
    FAIL() << "no list error";
  } catch (const SysUtils::EAssertionFailed& E) {
    EXPECT_STREQ(E.what(), "Listエラー");
  }
}

}  // namespace

TEST(ListClone, CapacityFollowsGrowthRule) {
  TListClone L;
  std::vector<int32_t> Seen;
  for (int I = 0; I < 120; ++I) {
    L.Add(P(I + 1));
    if (Seen.empty() || Seen.back() != L.Capacity()) Seen.push_back(L.Capacity());
  }
  EXPECT_EQ(Seen, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
}

TEST(ListClone, AddReturnsIndexAndNotifiesNonNullOnly) {
  RecordingList L;
  EXPECT_EQ(L.Add(P(7)), 0);
  EXPECT_EQ(L.Add(nullptr), 1);
  EXPECT_EQ(L.Add(P(9)), 2);
  EXPECT_EQ(L.Count(), 3);
  EXPECT_EQ(L.GetItem(1), nullptr);
  ASSERT_EQ(L.Log.size(), 2u);
  EXPECT_EQ(L.Log[1], std::make_pair(intptr_t{9}, lcAdded));
}

TEST(ListClone, InsertAtCountAppendsAndPastCountFailsUnchanged) {
  TListClone L;
  Fill(L, {1, 2});
  L.Insert(2, P(3));
  L.Insert(0, P(0));
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{0, 1, 2, 3}));
  ExpectListError([&] { L.Insert(5, P(9)); });
  ExpectListError([&] { L.Insert(-1, P(9)); });
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{0, 1, 2, 3}));
}

TEST(ListClone, IndexErrorsLeaveListUnchanged) {
  TListClone L;
  ExpectListError([&] { L.First(); });
  ExpectListError([&] { L.Last(); });
  Fill(L, {1, 2, 3});
  ExpectListError([&] { L.GetItem(3); });
  ExpectListError([&] { L.Delete(-1); });
  ExpectListError([&] { L.Exchange(0, 3); });
  ExpectListError([&] { L.Move(0, 3); });
  ExpectListError([&] { L.SetCapacity(2); });
  ExpectListError([&] { L.SetCapacity(MaxListSize + 1); });
  ExpectListError([&] { L.SetCount(-1); });
  ExpectListError([&] { L.SetCount(MaxListSize + 1); });
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{1, 2, 3}));
}

TEST(ListClone, MoveShiftsItemsBetween) {
  TListClone L;
  Fill(L, {'X', 'Y', 'Z'});
  L.Move(5, 5);  // same index: nothing happens, not even a check
  L.Move(0, 2);
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{'Y', 'Z', 'X'}));
  TListClone M;
  Fill(M, {'X', 'Y', 'Z'});
  M.Move(2, 0);
  EXPECT_EQ(Items(M), (std::vector<intptr_t>{'Z', 'X', 'Y'}));
}

TEST(ListClone, ExtractRemovesFirstOccurrenceWithoutDeleteNotice) {
  RecordingList L;
  Fill(L, {1, 2, 1});
  L.Log.clear();
  EXPECT_EQ(L.Extract(P(1)), P(1));
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{2, 1}));
  EXPECT_EQ(L.Log, (decltype(L.Log){{1, lcExtracted}}));
  EXPECT_EQ(L.Extract(P(5)), nullptr);
  EXPECT_EQ(L.Remove(P(1)), 1);
  EXPECT_EQ(L.Remove(P(1)), -1);
}

TEST(ListClone, CountSetterPadsWithNullAndDeletesFromEnd) {
  RecordingList L;
  Fill(L, {1, 2});
  L.SetCount(5);
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{1, 2, 0, 0, 0}));
  EXPECT_EQ(L.Capacity(), 5);
  L.Add(P(6));
  L.Log.clear();
  L.SetCount(2);
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{1, 2}));
  EXPECT_EQ(L.Log, (decltype(L.Log){{6, lcDeleted}}));
}

TEST(ListClone, PackRemovesNullsKeepingOrder) {
  TListClone L;
  Fill(L, {0, 1, 0, 0, 2, 3, 0});
  L.Pack();
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{1, 2, 3}));
}

namespace {
int CompareCalls = 0;
int32_t CountingEqual(void*, void*) {
  ++CompareCalls;
  return 0;
}
int32_t ByValue(void* A, void* B) {
  auto X = reinterpret_cast<intptr_t>(A), Y = reinterpret_cast<intptr_t>(B);
  return X < Y ? -1 : (X > Y ? 1 : 0);
}
// Orders by the tens digit only, so items with the same tens compare equal.
int32_t ByTens(void* A, void* B) {
  return ByValue(P(reinterpret_cast<intptr_t>(A) / 10), P(reinterpret_cast<intptr_t>(B) / 10));
}
}  // namespace

TEST(ListClone, SortCallsCompareAsTheQuicksortSchemeDoes) {
  TListClone L;
  CompareCalls = 0;
  L.Sort(CountingEqual);
  EXPECT_EQ(CompareCalls, 0);
  L.Add(P(1));
  L.Sort(CountingEqual);
  EXPECT_EQ(CompareCalls, 2);
  TListClone Three;
  Fill(Three, {'X', 'Y', 'Z'});
  Three.Sort(CountingEqual);
  EXPECT_EQ(Items(Three), (std::vector<intptr_t>{'Z', 'Y', 'X'}));
}

TEST(ListClone, SortOrdersAndPlacesEqualItemsByTheScheme) {
  TListClone L;
  Fill(L, {53, 12, 51, 10, 30, 11, 52, 31});
  L.Sort(ByTens);
  // Equal items land where the middle-pivot partitioning puts them, not in input order.
  EXPECT_EQ(Items(L), (std::vector<intptr_t>{10, 11, 12, 31, 30, 51, 52, 53}));
}

TEST(ListClone, SortSurvivesAdversarialOrdersWithoutDeepRecursion) {
  TListClone L;
  const int N = 20000;
  for (int I = 0; I < N; ++I) L.Add(P(I < N / 2 ? I : N - I));  // organ pipe
  L.Sort(ByValue);
  for (int I = 1; I < N; ++I) ASSERT_LE(ByValue(L.GetItem(I - 1), L.GetItem(I)), 0);
}

namespace {

// Comparators that contradict themselves, as a platform comparison can: answers at random,
// every item below every other (itself included), above every other, and a cycle of three.
enum class Disorder { Random, AlwaysLess, AlwaysGreater, Cycle };
Disorder CurrentDisorder;
std::mt19937 DisorderRng;
bool SawOutsider;  // the sort handed over an item from outside the range it was given

constexpr intptr_t Outsider = -7;

int32_t Disordered(void* A, void* B) {
  for (void* Item : {A, B}) SawOutsider |= reinterpret_cast<intptr_t>(Item) == Outsider;
  switch (CurrentDisorder) {
    case Disorder::Random:
      return static_cast<int32_t>(DisorderRng() % 3) - 1;
    case Disorder::AlwaysLess:
      return -1;
    case Disorder::AlwaysGreater:
      return 1;
    case Disorder::Cycle: {
      const auto X = reinterpret_cast<intptr_t>(A) % 3, Y = reinterpret_cast<intptr_t>(B) % 3;
      return X == Y ? 0 : (X + 1) % 3 == Y ? -1 : 1;
    }
  }
  return 0;
}

}  // namespace

TEST(ListClone, SortStaysInItsRangeWhateverTheComparisonAnswers) {
  for (Disorder Kind :
       {Disorder::Random, Disorder::AlwaysLess, Disorder::AlwaysGreater, Disorder::Cycle}) {
    CurrentDisorder = Kind;
    DisorderRng.seed(17);
    for (int32_t N : {1, 2, 3, 5, 8, 17, 64, 300, 2000}) {
      // The range sits between items that must never reach the comparison or move.
      std::vector<void*> Slots(N + 4, P(Outsider));
      std::vector<intptr_t> Expected;
      for (int32_t I = 0; I < N; ++I) {
        Slots[I + 2] = P(1000 + (I * 7919) % N);
        Expected.push_back(1000 + (I * 7919) % N);
      }
      SawOutsider = false;
      QuickSort(Slots.data(), 2, N + 1, Disordered);
      EXPECT_FALSE(SawOutsider) << "disorder " << int(Kind) << ", " << N << " items";
      std::vector<intptr_t> Got;
      for (void* Item : Slots) Got.push_back(reinterpret_cast<intptr_t>(Item));
      EXPECT_EQ((std::vector<intptr_t>(Got.begin(), Got.begin() + 2)),
                (std::vector<intptr_t>(2, Outsider)));
      EXPECT_EQ((std::vector<intptr_t>(Got.end() - 2, Got.end())),
                (std::vector<intptr_t>(2, Outsider)));
      std::vector<intptr_t> Sorted(Got.begin() + 2, Got.end() - 2);
      std::sort(Sorted.begin(), Sorted.end());
      std::sort(Expected.begin(), Expected.end());
      EXPECT_EQ(Sorted, Expected) << "every item exactly once";
    }
  }
}

struct AssignCase {
  TListCloneAssignOp Op;
  std::vector<intptr_t> Dest, Source, Expected;
};

class ListCloneAssign : public testing::TestWithParam<AssignCase> {};

TEST_P(ListCloneAssign, AppliesSetOperator) {
  const auto& C = GetParam();
  TListClone Dest, Source;
  for (auto V : C.Dest) Dest.Add(P(V));
  for (auto V : C.Source) Source.Add(P(V));
  Dest.Assign(&Source, C.Op);
  EXPECT_EQ(Items(Dest), C.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ListCloneAssign,
    testing::Values(AssignCase{laCopy, {1, 2, 3, 4, 5}, {3, 4, 6}, {3, 4, 6}},
                    AssignCase{laAnd, {1, 2, 3, 4, 5}, {3, 4, 6}, {3, 4}},
                    AssignCase{laOr, {1, 2, 3, 4, 5}, {3, 4, 6}, {1, 2, 3, 4, 5, 6}},
                    AssignCase{laXor, {1, 2, 3, 4, 5}, {3, 4, 6}, {1, 2, 5, 6}},
                    AssignCase{laSrcUnique, {1, 2, 3, 4, 5}, {3, 4, 6}, {1, 2, 5}},
                    AssignCase{laDestUnique, {1, 2, 3, 4, 5}, {3, 4, 6}, {6}},
                    AssignCase{laDestUnique, {1}, {6, 7, 8}, {8, 7, 6}}));

TEST(ListClone, AssignWithTwoSourcesStartsFromCopyOfFirst) {
  TListClone Dest, A, B;
  Fill(Dest, {9});
  Fill(A, {1, 2, 3});
  Fill(B, {2, 7});
  Dest.Assign(&A, laOr, &B);
  EXPECT_EQ(Items(Dest), (std::vector<intptr_t>{1, 2, 3, 7}));
}
