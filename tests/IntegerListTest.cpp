#include "lists/IntegerList.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Exceptions.h"

using namespace IntegerList;

namespace {
std::vector<int32_t> Values(const TRecordList& L) {
  std::vector<int32_t> Out;
  for (int32_t I = 0; I < L.Count(); ++I) Out.push_back(L.GetItem(I));
  return Out;
}
}  // namespace

TEST(IntegerList, AddIndexOfAndCount) {
  TNumericList L;
  EXPECT_EQ(L.Add(3), 0);
  EXPECT_EQ(L.Add(5), 1);
  EXPECT_EQ(L.Add(5), 2);
  EXPECT_EQ(L.IndexOf(5), 1);
  EXPECT_EQ(L.IndexOf(4), -1);
  L.SetCount(1);
  EXPECT_EQ(Values(L), (std::vector<int32_t>{3}));
  L.SetCount(3);
  L.SetItem(2, 7);
  EXPECT_EQ(Values(L), (std::vector<int32_t>{3, 0, 7}));
  EXPECT_THROW(L.SetCount(-1), SysUtils::EAssertionFailed);
  EXPECT_THROW(L.SetItem(3, 1), SysUtils::EAssertionFailed);
}

TEST(IntegerList, SortsUpAndDownBySignedValue) {
  TNumericList L;
  for (int32_t V : {3, -1, 2, INT32_MIN, INT32_MAX}) L.Add(V);
  L.Sort(soUp);
  EXPECT_EQ(Values(L), (std::vector<int32_t>{INT32_MIN, -1, 2, 3, INT32_MAX}));
  L.Sort(soDown);
  EXPECT_EQ(Values(L), (std::vector<int32_t>{INT32_MAX, 3, 2, -1, INT32_MIN}));
}

TEST(IntegerList, SortWithUnknownOrderFailsUnchanged) {
  TNumericList L;
  for (int32_t V : {3, -1, 2}) L.Add(V);
  try {
    L.Sort(static_cast<TSortOrder>(2));
    FAIL();
  } catch (const SysUtils::Exception& E) {
    EXPECT_STREQ(E.what(), "SortOrderが指定範囲内ではありません");
  }
  EXPECT_EQ(Values(L), (std::vector<int32_t>{3, -1, 2}));
}

TEST(IntegerList, DeleteInsertMoveAndAssign) {
  TNumericList L, Copy;
  for (int32_t V : {1, 2, 3, 4}) L.Add(V);
  L.Delete(1);
  L.Insert(0, 9);
  L.Move(0, 3);
  L.Exchange(0, 1);
  EXPECT_EQ(Values(L), (std::vector<int32_t>{3, 1, 4, 9}));
  Copy.Assign(&L);
  Copy.Assign(nullptr);
  EXPECT_EQ(Values(Copy), Values(L));
}
