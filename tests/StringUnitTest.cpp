#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/Exceptions.h"
#include "strings/StringConvertUnit.h"
#include "strings/StringSearchUnit.h"
#include "strings/StringUnit.h"
#include "support/ScanForms.h"

using namespace StringUnit;
using namespace StringSearchUnit;

TEST(LocaleCompare, OrdersAndEqualsWholeStrings) {
  EXPECT_EQ(LocaleCompare(u"abc", u"abc"), crEqual);
  EXPECT_EQ(LocaleCompare(u"", u""), crEqual);
  EXPECT_EQ(LocaleCompare(u"a", u"b"), crLess);
  EXPECT_EQ(LocaleCompare(u"b", u"a"), crGreater);
  EXPECT_EQ(LocaleCompare(u"", u"a"), crLess);
  EXPECT_NE(LocaleCompare(u"a", u"A"), crEqual) << "case must count";
}

TEST(LocaleCompare, EveryCodeUnitTakesPart) {
  // A comparison bounded by explicit lengths must not stop at an embedded NUL.
  const std::u16string A(u"x\0a", 3), B(u"x\0b", 3);
  EXPECT_EQ(LocaleCompare(A, B), crLess);
  EXPECT_NE(LocaleCompare(u"a\r\n", u"a"), crEqual);
}

// Texts longer than the platform takes, with the limit lowered from 2^31 - 1 code units to a
// few: compared without their shared beginning, or piece by piece, they order as a whole.
TEST(LocaleCompareBeyondThePlatformLimit, SharedBeginningsAreLeftOut) {
  const std::u16string Words[] = {u"apple", u"Apple", u"b",       u"co-op", u"r\u00e9sum\u00e9",
                                  u"日本",  u"カー",  u"e\u0301", u"-",     u"12",
                                  u"x"};
  const std::u16string Tails[] = {u"",   u"a",  u"A",  u"b",  u"\u00e9", u"e\u0301",
                                  u"カ", u"ー", u" 9", u"-z", u"\u0301"};
  uint32_t Seed = 7;
  auto Pick = [&Seed](size_t N) {
    Seed = Seed * 1103515245 + 12345;
    return static_cast<size_t>((Seed >> 16) % N);
  };
  int Checked = 0;
  for (int N = 0; N < 400; ++N) {
    std::u16string Shared;
    const size_t Count = 1 + Pick(12);
    for (size_t K = 0; K < Count; ++K) Shared += Words[Pick(std::size(Words))] + u" ";
    const std::u16string A = Shared + Tails[Pick(std::size(Tails))];
    const std::u16string B = Shared + Tails[Pick(std::size(Tails))];
    ASSERT_EQ(LocaleCompareWithin(A, B, 16), LocaleCompare(A, B))
        << std::string(A.begin(), A.end());
    ASSERT_EQ(LocaleCompareWithin(B, A, 16), LocaleCompare(B, A));
    Checked += A.size() > 16;
  }
  EXPECT_GT(Checked, 200) << "most texts exceed the limit";
}

TEST(LocaleCompareBeyondThePlatformLimit, AtTheLimitAndPieceByPiece) {
  for (size_t Length : {7, 8, 9, 17}) {
    const std::u16string Long(Length, u'a');
    const std::u16string Others[] = {Long,
                                     Long + u"b",
                                     Long.substr(1),
                                     std::u16string(u"b").append(Long),
                                     std::u16string(u"A").append(Long, 1),
                                     Long.substr(1) + u"b"};
    for (const std::u16string& Other : Others) {
      EXPECT_EQ(LocaleCompareWithin(Long, Other, 8), LocaleCompare(Long, Other)) << Length;
      EXPECT_EQ(LocaleCompareWithin(Other, Long, 8), LocaleCompare(Other, Long)) << Length;
    }
  }
  // Nothing shared at the start: the first pieces that differ in a letter decide, and pieces
  // that compare equal leave it to the rest.
  std::u16string Words;
  for (int I = 0; I < 10; ++I) Words += u"word ";
  EXPECT_EQ(LocaleCompareWithin(u"b " + Words, u"a " + Words, 8), crGreater);
  EXPECT_EQ(LocaleCompareWithin(u"a" + Words + u"x", u"a" + Words + u"y", 8), crLess);
  EXPECT_EQ(LocaleCompareWithin(Words + u"x", Words, 8), crGreater);
  EXPECT_EQ(LocaleCompareWithin(Words, Words, 8), crEqual);
}

TEST(StringSearch, IsSubStringAtChecksBounds) {
  EXPECT_TRUE(IsSubStringAt(u"c", u"abc", 3));
  EXPECT_FALSE(IsSubStringAt(u"c", u"abc", 4));
  EXPECT_FALSE(IsSubStringAt(u"c", u"abc", 0));
  EXPECT_FALSE(IsSubStringAt(u"", u"abc", 1));
  EXPECT_FALSE(IsSubStringAt(u"a", u"", 1));
  EXPECT_FALSE(IsSubStringAt(u"bcd", u"abc", 2));
  EXPECT_FALSE(IsSubStringAt(u"B", u"abc", 2));
}

TEST(StringSearch, FindUnitAgreesWithTheStringsOwnSearch) {
  // The unit sought at every place of an eight-unit step, among units that share a byte with it.
  ForEachScanForm([] {
    std::mt19937 Rng(8);
    for (int Round = 0; Round < 2000; ++Round) {
      std::u16string Text(Rng() % 70, u'a');
      for (auto& Unit : Text) Unit = Rng() % 30 == 0 ? u'\0' : (Rng() % 2 ? 0x0100 : u'x');
      ASSERT_EQ(StringSearchUnit::FindUnit(Text, u'\0'), Text.find(u'\0')) << "round " << Round;
      ASSERT_EQ(StringSearchUnit::FindUnit(Text, 0x0100), Text.find(0x0100)) << "round " << Round;
    }
  });
}

TEST(StringSearch, CopyRangeClampsToText) {
  EXPECT_EQ(CopyRange(u"abcdef", 0, 3), u"abc");
  EXPECT_EQ(CopyRange(u"abcdef", 5, 99), u"ef");
  EXPECT_EQ(CopyRange(u"abcdef", 4, 3), u"");
  EXPECT_EQ(CopyRange(u"abcdef", 7, 9), u"");
  EXPECT_EQ(CopyRange(u"abcdef", -5, -1), u"");
}

TEST(StringSearch, RemoveSuffixOnlyWhenPresent) {
  EXPECT_EQ(RemoveSuffix(u"a,b,", u","), u"a,b");
  EXPECT_EQ(RemoveSuffix(u"a,b", u","), u"a,b");
  EXPECT_EQ(RemoveSuffix(u",", u","), u"");
  EXPECT_EQ(RemoveSuffix(u"abc", u""), u"abc");
  EXPECT_EQ(RemoveSuffix(u"c", u"abc"), u"c");
}

struct BreakCase {
  std::u16string Text;
  TLineBreakKind Kind, Bare;
  std::u16string Without;
};

class LineBreaks : public testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaks, ClassifiesAndRemovesExactlyOneBreak) {
  const auto& C = GetParam();
  EXPECT_EQ(GetLineBreakKind(C.Text), C.Kind);
  EXPECT_EQ(BareLineBreakKind(C.Text), C.Bare);
  EXPECT_EQ(WithoutLineBreak(C.Text), C.Without);
  std::u16string S = C.Text;
  RemoveLineBreak(S);
  EXPECT_EQ(S, C.Without);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LineBreaks,
    testing::Values(BreakCase{u"x\r\n", lbCRLF, lbNone, u"x"},
                    BreakCase{u"x\n\r", lbCR, lbNone, u"x\n"},
                    BreakCase{u"x", lbNone, lbNone, u"x"}, BreakCase{u"", lbNone, lbNone, u""},
                    BreakCase{u"x\r\r\n", lbCRLF, lbNone, u"x\r"},
                    BreakCase{u"\r\n", lbCRLF, lbCRLF, u""}, BreakCase{u"\n", lbLF, lbLF, u""},
                    BreakCase{u"\r", lbCR, lbCR, u""}, BreakCase{u"\n\r", lbCR, lbNone, u"\n"},
                    BreakCase{u"x\n", lbLF, lbNone, u"x"}));

TEST(LineBreaks, TextOfEachKindAndTrimRight) {
  EXPECT_EQ(LineBreakText(lbCRLF), u"\r\n");
  EXPECT_EQ(LineBreakText(lbCR), u"\r");
  EXPECT_EQ(LineBreakText(lbLF), u"\n");
  EXPECT_EQ(LineBreakText(lbNone), u"");
  EXPECT_EQ(TrimRightChars(u"x\r\n\r\n", u"\r\n"), u"x");
  EXPECT_EQ(TrimRightChars(u"\r\n", u"\r\n"), u"");
  EXPECT_EQ(TrimRightChars(u"\nx\n\r", u"\r\n"), u"\nx");
}

struct ByteCase {
  std::u16string Text;
  int32_t Bytes;
};

class ByteMeasure : public testing::TestWithParam<ByteCase> {};

TEST_P(ByteMeasure, CountsOneOrTwoPerCodeUnit) {
  EXPECT_EQ(ByteLength(GetParam().Text), GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ByteMeasure,
                         testing::Values(ByteCase{u"", 0}, ByteCase{u"abc", 3}, ByteCase{u"ｱｲｳ", 3},
                                         ByteCase{u"あいう", 6}, ByteCase{u"a\tb", 4},
                                         ByteCase{u"abc\r\n", 7}, ByteCase{u"¥", 2},
                                         ByteCase{u"‾", 1}, ByteCase{u" \x7f", 2},
                                         ByteCase{u"\x1f", 2},
                                         ByteCase{u"\xff60\xff61\xff9f\xffa0", 6},
                                         ByteCase{u"𠮷", 4}));

TEST(HalfWidth, MapsFullWidthDigitsAndSigns) {
  using StringConvertUnit::ToHalfWidth;
  EXPECT_EQ(ToHalfWidth(u"－１２"), u"-12");
  EXPECT_EQ(ToHalfWidth(u"＋７"), u"+7");
  EXPECT_EQ(ToHalfWidth(u"+7"), u"+7");
  EXPECT_EQ(ToHalfWidth(u"０１２３４５６７８９"), u"0123456789");
  EXPECT_EQ(ToHalfWidth(u""), u"");
}
