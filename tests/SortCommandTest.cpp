#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "commands/LineCommands.h"
#include "support/PinnedCollation.h"

namespace {

class SortCommand : public testing::Test {
 protected:
  TPinnedCollation Collation{"en"};
};

TEST_F(SortCommand, RejectsIdentifiersThatAreNotSortCommands) {
  for (int Id : {0, 10, 11, 12, 13, 255}) {
    try {
      Tarnwick::Sort(u"b\r\na\r\n", static_cast<uint8_t>(Id));
      ADD_FAILURE() << "identifier " << Id << " returned a text";
    } catch (const SysUtils::EAssertionFailed& E) {
      EXPECT_STREQ(E.what(), "Error:function Sort");
    }
  }
}

TEST_F(SortCommand, EmptyTextStaysEmpty) {
  for (uint8_t Id = 1; Id <= 9; ++Id) EXPECT_EQ(Tarnwick::Sort(u"", Id), u"") << int{Id};
}

TEST_F(SortCommand, OneLineComesBackUnchanged) {
  for (const std::u16string Text : {u"only", u"only\r\n", u"only\n", u"\r\n"}) {
    for (uint8_t Id = 1; Id <= 9; ++Id) EXPECT_EQ(Tarnwick::Sort(Text, Id), Text) << int{Id};
  }
}

TEST_F(SortCommand, RunsTheOrderOfEachIdentifier) {
  const std::u16string Text = u"b10\r\nccc2\r\na9\r\n";
  EXPECT_EQ(Tarnwick::Sort(Text, 1), u"a9\r\nb10\r\nccc2\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 2), u"ccc2\r\nb10\r\na9\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 3), u"b10\r\nccc2\r\na9\r\n");  // 01b, 2ccc, 9a
  EXPECT_EQ(Tarnwick::Sort(Text, 4), u"a9\r\nccc2\r\nb10\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 5), u"ccc2\r\na9\r\nb10\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 6), u"b10\r\na9\r\nccc2\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 7), u"a9\r\nb10\r\nccc2\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 8), u"ccc2\r\nb10\r\na9\r\n");
  EXPECT_EQ(Tarnwick::Sort(Text, 9), u"a9\r\nccc2\r\nb10\r\n");
}

TEST_F(SortCommand, KeepsMissingFinalBreakMissing) {
  EXPECT_EQ(Tarnwick::Sort(u"b\r\na", 1), u"a\r\nb");
  // The line that lacked a break gets the break of the line before it: a sort writes no
  // break the text did not use.
  EXPECT_EQ(Tarnwick::Sort(u"b\na", 1), u"a\nb");
  EXPECT_EQ(Tarnwick::Sort(u"charlie\nalpha\nbravo", 1), u"alpha\nbravo\ncharlie");
  EXPECT_EQ(Tarnwick::Sort(u"charlie\ralpha\rbravo", 2), u"charlie\rbravo\ralpha");
  EXPECT_EQ(Tarnwick::Sort(u"b\r\nc\na", 1), u"a\nb\r\nc");
  EXPECT_EQ(Tarnwick::Sort(u"1\r\n2\r\n3", 9), u"3\r\n2\r\n1");
}

TEST_F(SortCommand, ReversalWithoutFinalBreakDropsOnlyTheFirstLinesBreak) {
  // The first line, ending up last, loses its one break even when that leaves it empty; the
  // break before it stays.
  EXPECT_EQ(Tarnwick::Sort(u"\nabc", 9), u"abc\n");
  EXPECT_EQ(Tarnwick::Sort(u"\nx\ry", 9), u"y\rx\r");
  EXPECT_EQ(Tarnwick::Sort(u"a\rb", 9), u"b\ra");
  EXPECT_EQ(Tarnwick::Sort(std::u16string(u"a\r\n\r\nb"), 9), u"b\r\n\r\na");
}

TEST_F(SortCommand, ReversalOfAGivenUpTextKeepsEveryKindOfBreak) {
  // Reversed in the text's own storage: lone CRs and LFs next to each other stay apart.
  EXPECT_EQ(Tarnwick::Sort(std::u16string(u"x\r\n\n\r"), 9), u"\r\nx\r\n");
  EXPECT_EQ(Tarnwick::Sort(std::u16string(u"a\rb\n"), 9), u"b\na\r");
  EXPECT_EQ(Tarnwick::Sort(std::u16string(u"\n\r\r\n\n"), 9), u"\n\r\n\r\n");
}

TEST_F(SortCommand, ReversingTwiceRestoresATextWithFinalBreak) {
  const std::u16string Text = u"one\r\ntwo\nthree\rfour\r\n";
  EXPECT_EQ(Tarnwick::Sort(Tarnwick::Sort(Text, 9), 9), Text);
}

}  // namespace
