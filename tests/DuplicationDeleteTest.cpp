#include <gtest/gtest.h>

#include <string>

#include "commands/LineCommands.h"

namespace {

struct DeleteCase {
  std::u16string Text;
  std::u16string Expected;
};

class DuplicationDelete : public testing::TestWithParam<DeleteCase> {};

TEST_P(DuplicationDelete, KeepsTheFirstLineOfEachBody) {
  EXPECT_EQ(Tarnwick::DuplicationDelete(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DuplicationDelete,
    testing::Values(
        DeleteCase{u"", u""}, DeleteCase{u"a", u"a"}, DeleteCase{u"a\r\nb\r\na\r\n", u"a\r\nb\r\n"},
        DeleteCase{u"b\r\na\r\na\r\nc\r\na\r\n", u"b\r\na\r\nc\r\n"},
        // The line that stays keeps its own break.
        DeleteCase{u"a\r\na\n", u"a\r\n"}, DeleteCase{u"a\na\r\n", u"a\n"},
        DeleteCase{u"a\rb\ra\r", u"a\rb\r"},
        // A repeated last line without a break goes, leaving the text ending in a break.
        DeleteCase{u"a\r\nb\r\na", u"a\r\nb\r\n"}, DeleteCase{u"a\r\na", u"a\r\n"},
        DeleteCase{u"a\r\nb\r\nc", u"a\r\nb\r\nc"},
        // Empty lines are one body whatever their breaks.
        DeleteCase{u"\r\na\n\rb\r\n\r\n\n", u"\r\na\nb\r\n"},
        // Case and trailing spaces make lines different.
        DeleteCase{u"A\r\na\r\na \r\na\t\r\n", u"A\r\na\r\na \r\na\t\r\n"},
        // Characters outside the basic plane and NULs are compared like any other.
        DeleteCase{u"\U0001F600\n\U0001F600\r\n\U0001F601\n", u"\U0001F600\n\U0001F601\n"},
        DeleteCase{std::u16string(u"a\0b\na\0b\na\0c\n", 12), std::u16string(u"a\0b\na\0c\n", 8)}));

}  // namespace
