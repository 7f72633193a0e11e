#include <gtest/gtest.h>

#include <string>

#include "lists/StrRecListUnit.h"

namespace {

struct LookupCase {
  std::u16string ListText;
  std::u16string Line;
  int32_t Expected;
};

class IndexOfLine : public testing::TestWithParam<LookupCase> {};

TEST_P(IndexOfLine, FindsTheFirstLineWithAnEqualBody) {
  StringRecordList::TCommonStringRecordList List;
  List.SetText(GetParam().ListText);
  EXPECT_EQ(StrRecListUnit::IndexOfLine(List, GetParam().Line), GetParam().Expected);
  EXPECT_EQ(List.Text(), GetParam().ListText);  // The lookup changes nothing.
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, IndexOfLine,
    testing::Values(
        // The key's own break, or none, does not matter; case and trailing spaces do.
        LookupCase{u"abc\r\n", u"abc", 0}, LookupCase{u"abc\r\n", u"abc\n", 0},
        LookupCase{u"abc\r\n", u"abc\r", 0}, LookupCase{u"abc\r\n", u"ABC", -1},
        LookupCase{u"abc \r\n", u"abc", -1}, LookupCase{u"abc\r\n", u"abc ", -1},
        // The first match wins, whatever the breaks of the later lines.
        LookupCase{u"x\nabc\rabc\r\n", u"abc\r\n", 1}, LookupCase{u"x\ny\nabc", u"abc\n", 2},
        // Only one break ends a line: the key's second break is part of its body.
        LookupCase{u"abc\r\n", u"abc\r\n\r\n", -1}, LookupCase{u"abc\n\r\n", u"abc\n\r", -1},
        // Empty bodies: bare breaks of any kind are equal to the empty key.
        LookupCase{u"a\r\r\n", u"", 1}, LookupCase{u"a\n\r", u"\r\n", 1},
        // An empty list finds nothing.
        LookupCase{u"", u"abc", -1}, LookupCase{u"", u"", -1}));

}  // namespace
