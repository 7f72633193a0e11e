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

TEST(StringRecordList, KeepsEveryLineThroughRandomEditsAsAPlainVectorDoes) {
  // Lines of up to a few thousand units, so that the cells left behind by Delete and by a
  // longer SetItem pile up far enough for the live ones to be moved to a fresh arena.
  std::mt19937 Rng(1207);
  auto RandomLine = [&Rng] {
    std::u16string Line(Rng() % 4 == 0 ? Rng() % 3000 : Rng() % 12, u'a');
    for (auto& Unit : Line) Unit = static_cast<char16_t>(u'a' + Rng() % 26);
    return Line;
  };
  TCommonStringRecordList L;
  std::vector<std::u16string> Model;
  for (int Step = 0; Step < 6000; ++Step) {
    const int32_t N = L.Count();
    const uint32_t Op = Rng() % 8;
    if (Op <= 1 || N == 0) {
      const std::u16string Line = RandomLine();
      L.Add(Line);
      Model.push_back(Line);
    } else if (Op == 2) {
      const int32_t At = static_cast<int32_t>(Rng() % (N + 1));
      const std::u16string Line = RandomLine();
      L.Insert(At, Line);
      Model.insert(Model.begin() + At, Line);
    } else if (Op <= 4) {
      const int32_t At = static_cast<int32_t>(Rng() % N);
      L.Delete(At);
      Model.erase(Model.begin() + At);
    } else if (Op == 5) {
      const int32_t At = static_cast<int32_t>(Rng() % N);
      const std::u16string Line = RandomLine();
      L.SetItem(At, Line);
      Model[At] = Line;
    } else if (Op == 6) {
      // A line set from a piece of itself or of another line of the same list.
      const int32_t At = static_cast<int32_t>(Rng() % N);
      const int32_t From = static_cast<int32_t>(Rng() % N);
      const std::u16string_view Source = L.ItemRef(From);
      const size_t Skip = Source.empty() ? 0 : Rng() % Source.size();
      const std::u16string Expected = Model[From].substr(Skip);
      L.SetItem(At, Source.substr(Skip));
      Model[At] = Expected;
    } else {
      const int32_t A = static_cast<int32_t>(Rng() % N);
      const int32_t B = static_cast<int32_t>(Rng() % N);
      L.Exchange(A, B);
      std::swap(Model[A], Model[B]);
    }
    ASSERT_EQ(L.Count(), static_cast<int32_t>(Model.size())) << "step " << Step;
    if (Step % 50 == 0) {
      ASSERT_EQ(Lines(L), Model) << "step " << Step;
    }
  }
  EXPECT_EQ(Lines(L), Model);
  TCommonStringRecordList Copy;
  Copy.Assign(&L);
  L.Clear();
  EXPECT_EQ(Lines(Copy), Model);
}

TEST(StringRecordList, LongTextCutIntoManyShortLinesJoinsBackUnchanged) {
  // More cells than one block of the arena holds, and empty lines.
  std::u16string Text;
  for (int I = 0; I < 300000; ++I)
    Text += I % 7 == 0 ? u"\r\n" : std::u16string(I % 5, u'x') + u"\n";
  TCommonStringRecordList L;
  L.SetText(Text);
  EXPECT_EQ(L.Count(), 300000);
  EXPECT_EQ(L.Text(), Text);
}

TEST(LineArena, CellsBeyondTheFirstLargestBlockTakeNoFurtherLargestBlock) {
  // Cells of twelve bytes do not fill a block of the largest size exactly: the cells its tail
  // cannot hold, with the rest, go to one block sized for them. Memory a 32-bit editor
  // cannot spare otherwise goes to a block of the largest size for the last cell.
  const std::u16string_view Line = u"abc\n";
  const size_t Cells = 1'500'000;
  const size_t Bytes = Cells * TLineArena::CellSize(Line.size());
  TLineArena Arena;
  Arena.Expect(Bytes);
  for (size_t I = 0; I < Cells; ++I) ASSERT_EQ(LineOf(Arena.NewCell(Line)), Line);
  EXPECT_EQ(Arena.Used(), Bytes);
  EXPECT_LT(Arena.Capacity() - Bytes, size_t{64} << 10);
}
