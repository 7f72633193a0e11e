// The collation keys of many lines in one arena: keys order as the platform's comparison,
// read past their ends as zero bytes, and compare as the whole keys from any shared depth.
#include "sorting/CollationKeys.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "strings/StringUnit.h"
#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

using StringRecordListNormalSort::TCollationKeys;

namespace {

class CollationKeys : public testing::Test {
 protected:
#ifndef _WIN32
  void SetUp() override { standin::SetCollationLocale("en"); }
  void TearDown() override { standin::SetCollationLocale(""); }
#endif
  static int32_t Expected(const std::u16string& A, const std::u16string& B) {
    const auto R = StringUnit::LocaleCompare(A, B);
    return R == StringUnit::crLess ? -1 : R == StringUnit::crEqual ? 0 : 1;
  }
};

TEST_F(CollationKeys, EmptyTextHasAKeyThatSortsFirst) {
  TCollationKeys Keys;
  ASSERT_TRUE(Keys.Add(u""));
  ASSERT_TRUE(Keys.Add(u"a"));
  ASSERT_TRUE(Keys.Add(u"\r\n"));
  EXPECT_EQ(Keys.Count(), 3u);
  EXPECT_EQ(Keys.Compare(0, 0), 0);
  EXPECT_EQ(Keys.Compare(0, 1), Expected(u"", u"a"));
  EXPECT_EQ(Keys.Compare(1, 0), Expected(u"a", u""));
  EXPECT_EQ(Keys.Compare(0, 2), Expected(u"", u"\r\n"));
}

TEST_F(CollationKeys, PrefixReadsPastTheKeysEndAsZero) {
  TCollationKeys Keys;
  ASSERT_TRUE(Keys.Add(u"a"));
  const size_t Length = Keys.Length(0);
  ASSERT_GT(Length, 0u);
  EXPECT_EQ(Keys.Prefix(0, Length), 0u) << "wholly past the end";
  EXPECT_EQ(Keys.Prefix(0, Length + 100), 0u);
  // The last byte of the key, then seven zero bytes.
  EXPECT_EQ(Keys.Prefix(0, Length - 1) & 0x00FFFFFFFFFFFFFFu, 0u);
}

TEST_F(CollationKeys, CompareFromAnySharedDepthAgreesWithTheWholeKeys) {
  // Texts whose keys share long beginnings and end at every depth around one another.
  std::vector<std::u16string> Texts;
  for (int I = 0; I < 24; ++I) {
    Texts.push_back(std::u16string(I, u'a'));
    Texts.push_back(std::u16string(I, u'a') + u'b');
    Texts.push_back(std::u16string(I, u'a') + u'A');
  }
  TCollationKeys Keys;
  Keys.Reserve(Texts.size(), 4);  // far too little: the arena must grow as keys are added
  for (const auto& T : Texts) ASSERT_TRUE(Keys.Add(T));
  for (size_t I = 0; I < Texts.size(); ++I) {
    for (size_t J = 0; J < Texts.size(); ++J) {
      const int32_t Whole = Keys.Compare(I, J);
      ASSERT_EQ(Whole, Expected(Texts[I], Texts[J])) << I << " " << J;
      // The depth up to which both keys read the same (zero past their ends).
      size_t Shared = 0;
      while (Shared < 200 && Keys.Prefix(I, Shared) == Keys.Prefix(J, Shared)) Shared += 8;
      for (size_t Depth = 0; Depth <= Shared; ++Depth) {
        ASSERT_EQ(Keys.CompareFrom(I, J, Depth), Whole) << I << " " << J << " from " << Depth;
      }
    }
  }
}

TEST_F(CollationKeys, TextBeyondThePlatformsLengthIsRefusedUnread) {
  // A view that claims 2^31 code units: Add must refuse it before reading a single one.
  const char16_t Unit = u'x';
  TCollationKeys Keys;
  EXPECT_FALSE(Keys.Add(std::u16string_view(&Unit, size_t{INT_MAX} + 1)));
  EXPECT_EQ(Keys.Count(), 0u);
  ASSERT_TRUE(Keys.Add(u"x"));
  EXPECT_EQ(Keys.Count(), 1u);
}

TEST_F(CollationKeys, KeysMadeInPartsOnThreadsReadAsKeysAddedInTurn) {
  // Parts of 2^Shift keys, the last one shorter, filled in any order: every key, its length,
  // its prefixes and its comparisons are those of the same texts added one by one.
  std::vector<std::u16string> Texts;
  for (int I = 0; I < 300; ++I) {
    Texts.push_back(std::u16string(I % 13, u'a') + static_cast<char16_t>(u'a' + I % 7) +
                    (I % 5 == 0 ? u"" : u"\u3042\u30a2"));
  }
  TCollationKeys InTurn;
  for (const auto& T : Texts) ASSERT_TRUE(InTurn.Add(T));
  for (unsigned Shift : {0u, 3u, 6u, 31u}) {
    TCollationKeys Parted;
    Parted.Divide(Texts.size(), Shift);
    ASSERT_EQ(Parted.Parts(), Shift >= 9 ? 1u : (Texts.size() - 1) / (size_t{1} << Shift) + 1);
    for (size_t P = Parted.Parts(); P-- > 0;) {  // the last part first
      const size_t End = P + 1 < Parted.Parts() ? Parted.PartBegin(P + 1) : Texts.size();
      if (P % 2 == 0) Parted.ReservePart(P, End - Parted.PartBegin(P), 1);
      for (size_t I = Parted.PartBegin(P); I < End; ++I) ASSERT_TRUE(Parted.AddTo(I, Texts[I]));
    }
    ASSERT_EQ(Parted.Count(), Texts.size());
    for (size_t I = 0; I < Texts.size(); ++I) {
      ASSERT_EQ(Parted.Length(I), InTurn.Length(I)) << I << " shift " << Shift;
      ASSERT_EQ(Parted.Prefix(I, 3), InTurn.Prefix(I, 3)) << I << " shift " << Shift;
      for (size_t J = 0; J < Texts.size(); J += 7) {
        ASSERT_EQ(Parted.Compare(I, J), InTurn.Compare(I, J)) << I << " " << J;
      }
    }
  }
}

}  // namespace
