#include "sorting/StringRecordListNormalSort.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/Exceptions.h"
#include "commands/LineReversal.h"
#include "sorting/SortWhereTheyLie.h"
#include "support/PinnedCollation.h"

using namespace StringRecordListNormalSort;

namespace {

class EngineList : public TStringRecordListNormalSort {
 public:
  using TStringRecordListNormalSort::ExecuteSort;
};

// The list's comparator sort, and the keyed engine where the lines lie, held to the same
// results.
enum class TPath { List, WhereTheyLie };

struct OrderCase {
  const char* Name;
  TSortKind Kind;
  TSortOrder Order;
  std::u16string Input, Expected;
};

class SortOrders : public testing::TestWithParam<std::tuple<TPath, OrderCase>> {
 protected:
  TPinnedCollation Collation{"en"};
};

TEST_P(SortOrders, GiveTheDocumentedOrder) {
  const auto& [Path, C] = GetParam();
  if (Path == TPath::WhereTheyLie) {
    // Reversal compares no lines: the product reverses the text itself.
    std::u16string Sorted = C.Order == soAscending ? C.Input : LineReversal::ReverseLines(C.Input);
    if (C.Kind != skReverse) {
      ASSERT_TRUE(KeyedSort::SortWhereTheyLie(C.Input, C.Kind, C.Order, Sorted));
    }
    EXPECT_EQ(Sorted, C.Expected);
    return;
  }
  // The list's public sorts, by TSortKind.
  using TListSort = void (TStringRecordListNormalSort::*)(TSortOrder);
  const TListSort Sorts[] = {
      &TStringRecordListNormalSort::TextSort, &TStringRecordListNormalSort::NumericSort,
      &TStringRecordListNormalSort::ByteLengthSort, &TStringRecordListNormalSort::ReverseTextSort,
      &TStringRecordListNormalSort::ReverseSort};
  TStringRecordListNormalSort List;
  List.SetText(C.Input);
  (List.*Sorts[static_cast<size_t>(C.Kind)])(C.Order);
  EXPECT_EQ(List.Text(), C.Expected);
}

const OrderCase OrderCases[] = {
    {"TextLastLineGainsAndLosesBreak", skText, soAscending, u"b\r\na", u"a\r\nb"},
    {"TextDescendingKeepsFinalBreak", skText, soDescending, u"a\r\nb\r\n", u"b\r\na\r\n"},
    {"TextLastLineBorrowsLfOfLineBefore", skText, soAscending, u"b\na", u"a\nb"},
    {"TextLastLineBorrowsCrOfLineBefore", skText, soDescending, u"a\r\nb\rc", u"c\rb\ra"},
    {"ReverseLastLineBorrowsLfOfLineBefore", skReverse, soDescending, u"1\r2\n3", u"3\n2\n1"},
    {"TextSingleLineUnchanged", skText, soDescending, u"x", u"x"},
    {"ReverseOddCountKeepsMiddle", skReverse, soDescending, u"1\r\n2\r\n3", u"3\r\n2\r\n1"},
    {"ReverseEvenCount", skReverse, soDescending, u"1\n2\r3\r\n4\r\n", u"4\r\n3\r\n2\r1\n"},
    {"ReverseAscendingLeavesText", skReverse, soAscending, u"b\na\r\nc", u"b\na\r\nc"},
    {"ByteLengthCountsBreaksAndWideChars", skByteLength, soAscending, u"あい\r\nabc\r\na",
     u"a\r\nabc\r\nあい"},
    {"ByteLengthTieFallsBackToText", skByteLength, soAscending, u"cd\r\nab", u"ab\r\ncd"},
    {"ByteLengthDescending", skByteLength, soDescending, u"a\r\nあい\r\nabc\r\n",
     u"あい\r\nabc\r\na\r\n"},
    {"NumericLineWithoutNumberFirst", skNumeric, soAscending, u"a10\r\na9\r\nx", u"x\r\na9\r\na10"},
    {"NumericDescending", skNumeric, soDescending, u"a10\r\na9\r\nx", u"a10\r\na9\r\nx"},
    {"NumericTieFallsBackToText", skNumeric, soAscending, u"b 5\r\na 5\r\n", u"a 5\r\nb 5\r\n"},
    {"NumericSignsCommasFullWidth", skNumeric, soAscending, u"１，０００\r\n-3\r\n+2\r\n999\r\n",
     u"-3\r\n+2\r\n999\r\n１，０００\r\n"},
    {"ReverseTextReadsFromTheEnd", skReverseText, soAscending, u"ab\r\nca\r\nba",
     u"ba\r\nca\r\nab"},
    {"ReverseTextDescending", skReverseText, soDescending, u"ab\r\nca\r\nba\r\n",
     u"ab\r\nca\r\nba\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Examples, SortOrders,
                         testing::Combine(testing::Values(TPath::WhereTheyLie, TPath::List),
                                          testing::ValuesIn(OrderCases)),
                         [](const auto& Info) {
                           return std::string(std::get<1>(Info.param).Name) +
                                  (std::get<0>(Info.param) == TPath::WhereTheyLie ? "_WhereTheyLie"
                                                                                  : "_List");
                         });

TEST(SortEngine, DescendingNegatesInsteadOfReversing) {
  // Three equal lines X Y Z end as Z Y X under the quicksort whichever the direction, as the
  // negated comparator still finds them equal; a reversed ascending sort would give X Y Z.
  for (TSortOrder Order : {soAscending, soDescending}) {
    EngineList List;
    List.SetText(u"x\r\nx\r\nx\r\n");
    const char16_t* X = List.ItemRef(0).data();
    const char16_t* Z = List.ItemRef(2).data();
    List.ExecuteSort(skText, Order);
    EXPECT_EQ(List.ItemRef(0).data(), Z);
    EXPECT_EQ(List.ItemRef(2).data(), X);
  }
}

TEST(SortEngine, RejectsKindOrOrderOutsideTheirRange) {
  EngineList List;
  List.SetText(u"b\r\na");
  EXPECT_THROW(List.ExecuteSort(static_cast<TSortKind>(5), soAscending),
               SysUtils::EAssertionFailed);
  EXPECT_THROW(List.ExecuteSort(skText, static_cast<TSortOrder>(2)), SysUtils::EAssertionFailed);
  EXPECT_EQ(List.Text(), u"b\r\na");
}

}  // namespace
