#include "commands/DuplicationDeleteCountDown.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "commands/LineCommands.h"
#include "reference/DuplicationReference.h"

namespace {

struct CountCase {
  std::u16string Text;
  std::u16string Expected;
};

class DuplicationDeleteCountDown : public testing::TestWithParam<CountCase> {};

TEST_P(DuplicationDeleteCountDown, ListsEachBodyOnceWithItsCountHighestFirst) {
  EXPECT_EQ(Tarnwick::DuplicationDeleteCountDown(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DuplicationDeleteCountDown,
    testing::Values(CountCase{u"", u""}, CountCase{u"a\r\nb\r\nc\r\n", u"a:1\r\nb:1\r\nc:1\r\n"},
                    CountCase{u"a\r\nb\r\na\r\n", u"a:2\r\nb:1\r\n"},
                    CountCase{u"b\r\na\r\na\r\nd\r\nd\r\nd\r\n", u"d:3\r\na:2\r\nb:1\r\n"},
                    // Equal counts keep the order of first appearance.
                    CountCase{u"x\r\ny\r\ny\r\nx\r\n", u"x:2\r\ny:2\r\n"},
                    CountCase{u"\r\n\r\n\r\n", u":3\r\n"}, CountCase{u"\n\r\r\n", u":3\n"},
                    CountCase{u"a:1\r\na:1\r\n", u"a:1:2\r\n"},
                    CountCase{u"a\r\na\r\na\r\na\r\na\r\na\r\na\r\na\r\na\r\na\r\n", u"a:10\r\n"},
                    // The first line of a body gives the break.
                    CountCase{u"a\na\r\n", u"a:2\n"},
                    // A last line without a break: alone it stays last and without one; repeated it
                    // is counted with its first line and the result ends in a break.
                    CountCase{u"z\r\na\r\na\r\nq", u"a:2\r\nz:1\r\nq:1"},
                    CountCase{u"a\r\nz\r\nb\r\nb\r\nz", u"z:2\r\nb:2\r\na:1\r\n"},
                    CountCase{u"A\r\na\r\na \r\n", u"A:1\r\na:1\r\na :1\r\n"}));

struct InsertCase {
  std::u16string Line;
  std::u16string Inserted;
  std::u16string Expected;
};

class InsertBeforeLineBreak : public testing::TestWithParam<InsertCase> {};

TEST_P(InsertBeforeLineBreak, PutsTheTextBetweenBodyAndBreak) {
  EXPECT_EQ(Tarnwick::InsertBeforeLineBreak(GetParam().Line, GetParam().Inserted),
            GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, InsertBeforeLineBreak,
    testing::Values(InsertCase{u"a\r\n", u":1", u"a:1\r\n"}, InsertCase{u"a\r", u":1", u"a:1\r"},
                    InsertCase{u"a\n", u":1", u"a:1\n"}, InsertCase{u"a", u":1", u"a:1"},
                    InsertCase{u"\r\n", u"", u"\r\n"}, InsertCase{u"", u"x", u"x"},
                    // Only the last break is the line's own.
                    InsertCase{u"a\n\r", u"x", u"a\nx\r"}));

// The order the plain count writes its lines in, which the fast command is checked against.
TEST(CountReferenceOrder, SortsByCountHighestFirstAndKeepsTiesInOrder) {
  EXPECT_EQ(DuplicationReference::OrderByCountDescending({3, 1, 3, 2, 1}, 3),
            (std::vector<uint32_t>{0, 2, 3, 1, 4}));
  EXPECT_EQ(DuplicationReference::OrderByCountDescending({}, 1), std::vector<uint32_t>{});
  // Counts higher than the number of lines.
  EXPECT_EQ(DuplicationReference::OrderByCountDescending({2, 900, 2, 900}, 1000),
            (std::vector<uint32_t>{1, 3, 0, 2}));
}

TEST(CountReferenceOrder, RejectsCountsThatWouldLoseLines) {
  for (const auto& [Counts, Highest] : std::vector<std::pair<std::vector<int32_t>, int32_t>>{
           {{1, 0}, 1}, {{3}, 2}, {{-1}, 1}, {{1}, 0}}) {
    try {
      DuplicationReference::OrderByCountDescending(Counts, Highest);
      ADD_FAILURE() << "no failure for highest " << Highest;
    } catch (const SysUtils::EAssertionFailed& E) {
      EXPECT_STREQ(E.what(), "Error:function DuplicationDeleteCountDown");
    }
  }
}

}  // namespace
