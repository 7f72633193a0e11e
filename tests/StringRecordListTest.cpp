#include "lists/StringRecordList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/Exceptions.h"

using namespace StringRecordList;

namespace {

std::vector<std::u16string> Lines(const TRecordList& L) {
  std::vector<std::u16string> Out;
  for (int32_t I = 0; I < L.Count(); ++I) Out.push_back(L.GetItem(I));
  return Out;
}

// Exposes the general splitter so the one-pass line splitter can be checked against it.
class SplittableList : public TCommonStringRecordList {
 public:
  using TCommonStringRecordList::SplitText;
};

}  // namespace

struct SplitCase {
  std::u16string Text;
  std::vector<std::u16string> Expected;
};

class TextSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(TextSplit, KeepsEachLinesOwnBreakAndJoinsBackUnchanged) {
  TCommonStringRecordList L;
  L.SetText(GetParam().Text);
  EXPECT_EQ(Lines(L), GetParam().Expected);
  EXPECT_EQ(L.Text(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, TextSplit,
    testing::Values(SplitCase{u"", {}}, SplitCase{u"a\r\nb", {u"a\r\n", u"b"}},
                    SplitCase{u"a\r\nb\r\n", {u"a\r\n", u"b\r\n"}},
                    SplitCase{u"a\r\r\nb", {u"a\r", u"\r\n", u"b"}},
                    SplitCase{u"\n\r", {u"\n", u"\r"}},
                    SplitCase{u"x\ny\rz\r\n\n", {u"x\n", u"y\r", u"z\r\n", u"\n"}},
                    SplitCase{std::u16string(u"a\0b\n", 4), {std::u16string(u"a\0b\n", 4)}}));

TEST(StringRecordList, OnePassSplitterMatchesGeneralSplitterOnRandomTexts) {
  std::mt19937 Rng(42);
  const char16_t Alphabet[] = {u'a', u'b', u'\r', u'\n', u'あ', u' '};
  for (int Round = 0; Round < 2000; ++Round) {
    std::u16string Text;
    const int Len = Rng() % 24;
    for (int I = 0; I < Len; ++I) Text += Alphabet[Rng() % 6];
    TCommonStringRecordList Fast;
    SplittableList General;
    Fast.SetText(Text);
    General.SplitText(Text, LineBreaks(), smKeepSeparator);
    ASSERT_EQ(Lines(Fast), Lines(General)) << "round " << Round;
  }
}

TEST(StringRecordList, DelimitedTextSplitsWithDelimitersInGivenOrder) {
  TCommonStringRecordList L;
  L.SetDelimitedText(u"a,,b,", {u","});
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u"a", u"", u"b", u""}));
  L.SetDelimitedText(u"", {u","});
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u""}));
  L.SetDelimitedText(u"xaby", {u"ab", u"a"});
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u"x", u"y"}));
  L.SetDelimitedText(u"xaby", {u"a", u"ab"});
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u"x", u"by"}));
}

TEST(StringRecordList, GetDelimitedTextDropsOnlyOneTrailingDelimiter) {
  TCommonStringRecordList L;
  EXPECT_EQ(L.GetDelimitedText(u","), u"");
  L.Add(u"a");
  L.Add(u"b");
  EXPECT_EQ(L.GetDelimitedText(u","), u"a,b");
  EXPECT_EQ(L.GetDelimitedText(u""), u"ab");
  L.Clear();
  L.Add(u"a,");
  EXPECT_EQ(L.GetDelimitedText(u","), u"a,");
}

TEST(StringRecordList, IndexOfComparesWholeLinesExactly) {
  TCommonStringRecordList L;
  L.SetText(u"x\r\nabc\r\nx\r\nx");
  EXPECT_EQ(L.IndexOf(u"x\r\n"), 0);
  EXPECT_EQ(L.IndexOf(u"x"), 3);
  EXPECT_EQ(L.IndexOf(u"ABC\r\n"), -1);
  EXPECT_EQ(L.IndexOf(u"x\n"), -1);
}

TEST(StringRecordList, CountSetterAddsEmptyLinesAndDeletesFromEnd) {
  TCommonStringRecordList L;
  L.Add(u"first");
  L.SetCount(3);
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u"first", u"", u""}));
  EXPECT_EQ(L.Text(), u"first");
  L.SetCount(1);
  EXPECT_EQ(Lines(L), (std::vector<std::u16string>{u"first"}));
  EXPECT_THROW(L.SetCount(-1), SysUtils::EAssertionFailed);
}

TEST(StringRecordList, ItemOperationsCheckIndexBeforeChanging) {
  TCommonStringRecordList L;
  L.SetText(u"a\nb\nc");
  EXPECT_THROW(L.GetItem(3), SysUtils::EAssertionFailed);
  EXPECT_THROW(L.SetItem(-1, u"z"), SysUtils::EAssertionFailed);
  EXPECT_THROW(L.Delete(3), SysUtils::EAssertionFailed);
  EXPECT_THROW(L.Insert(4, u"z"), SysUtils::EAssertionFailed);
  EXPECT_EQ(L.Text(), u"a\nb\nc");
  L.Insert(3, u"\nd");
  L.Exchange(0, 2);
  L.SetItem(1, u"B\n");
  L.Delete(0);
  EXPECT_EQ(L.Text(), u"B\na\n\nd");
}

TEST(StringRecordList, AssignCopiesAndIgnoresNullSource) {
  TCommonStringRecordList A, B;
  A.SetText(u"1\n2\n");
  B.SetText(u"x");
  B.Assign(&A);
  A.SetItem(0, u"changed");
  EXPECT_EQ(B.Text(), u"1\n2\n");
  B.Assign(nullptr);
  B.Assign(&B);
  EXPECT_EQ(B.Text(), u"1\n2\n");
}
