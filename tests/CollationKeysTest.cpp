// The collation keys of many lines in one arena: keys order as the platform's comparison,
// read past their ends as zero bytes, and compare as the whole keys from any shared depth.
#include "sorting/CollationKeys.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "strings/StringUnit.h"
#include "support/PinnedCollation.h"

using KeyedSort::TCollationKeys;

namespace {

class CollationKeys : public testing::Test {
 protected:
  TPinnedCollation Collation{"en"};

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

TEST_F(CollationKeys, KeysWithTheirHeadKeptOutsideReadAsTheWholeKeys) {
  // Keys shorter than, as long as and just longer than the head the sort records hold: the
  // head handed out, the length and every read past the head are those of the whole key, and
  // the head read from below is remade from the text.
  std::vector<std::u16string> Texts;
  for (int I = 0; I < 16; ++I) {
    // Accents and capitals add bytes to later levels of a key, so that between them these
    // texts give keys of every length around the heads on every platform.
    for (const char16_t* Tail : {u"", u"b", u"A", u"\u00e9", u"\u3042", u"A\u00e9", u"AA",
                                 u"\u00e9\u00e9", u"-", u"1", u"\u00c9", u"AAA"}) {
      Texts.push_back(std::u16string(I, u'a') + Tail);
    }
  }
  TCollationKeys Whole;
  for (const auto& T : Texts) ASSERT_TRUE(Whole.Add(T));
  for (size_t Head : {size_t{8}, size_t{12}}) {
    std::set<size_t> Lengths;
    for (size_t I = 0; I < Texts.size(); ++I) Lengths.insert(Whole.Length(I));
    for (size_t Near : {Head - 1, Head, Head + 1}) {
      ASSERT_TRUE(Lengths.count(Near))
          << "no key of " << Near << " bytes; longest " << *Lengths.rbegin();
    }
    TCollationKeys Kept;
    Kept.Divide(Texts.size(), 2, Head);
    std::vector<std::vector<uint8_t>> Heads(Texts.size(), std::vector<uint8_t>(Head));
    for (size_t I = 0; I < Texts.size(); ++I) ASSERT_TRUE(Kept.AddTo(I, Texts[I], Heads[I].data()));
    EXPECT_THROW(Kept.Prefix(0, 0), std::runtime_error) << "no text to remake the head from";
    Kept.SetTextOf([&Texts](size_t I, std::u16string&) { return std::u16string_view(Texts[I]); });
    for (size_t I = 0; I < Texts.size(); ++I) {
      ASSERT_EQ(Kept.Length(I), Whole.Length(I)) << I;
      for (size_t K = 0; K < Head; ++K) {
        ASSERT_EQ(Heads[I][K], K < Whole.Length(I) ? Whole.Data(I)[K] : 0) << I << " byte " << K;
      }
      for (size_t Depth = 0; Depth < Head + 12; Depth += 3) {
        ASSERT_EQ(Kept.Prefix(I, Depth), Whole.Prefix(I, Depth)) << I << " from " << Depth;
      }
      for (size_t J = 0; J < Texts.size(); ++J) {
        // As the records compare: the heads, then the rest of the keys.
        const int C = std::memcmp(Heads[I].data(), Heads[J].data(), Head);
        const int32_t Split = C != 0 ? (C < 0 ? -1 : 1) : Kept.CompareFrom(I, J, Head);
        ASSERT_EQ(Split, Whole.Compare(I, J)) << I << " " << J << " head " << Head;
      }
    }
  }
}

}  // namespace
