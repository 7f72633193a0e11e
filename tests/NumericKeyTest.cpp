#include "sorting/NumericKey.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/ScanForms.h"
#include "tests/reference/PlainSort.h"

using namespace StringRecordListNormalSort;
using KeyedSort::MaxOrderedBytes;
using KeyedSort::OrderedBytes;

namespace {

struct KeyCase {
  std::u16string Line;
  TInt64DynArray Key;
};

void PrintTo(const KeyCase& C, std::ostream* Os) {
  *Os << '\'';
  for (char16_t Ch : C.Line) {
    if (Ch >= 0x20 && Ch < 0x7F) {
      *Os << static_cast<char>(Ch);
    } else {
      *Os << "\\u" << std::hex << static_cast<int>(Ch) << std::dec;
    }
  }
  *Os << '\'';
}

class NumericKey : public testing::TestWithParam<KeyCase> {};

TEST_P(NumericKey, ExtractsTheIntegersOfTheLine) {
  EXPECT_EQ(ExtractNumbers(GetParam().Line), GetParam().Key);
}

constexpr int64_t Max = INT64_MAX;
constexpr int64_t Min = INT64_MIN;

INSTANTIATE_TEST_SUITE_P(
    Lines, NumericKey,
    testing::Values(KeyCase{u"abc", {}}, KeyCase{u"", {}}, KeyCase{u"item 10", {10}},
                    KeyCase{u"007", {7}}, KeyCase{u"ver1.2.3", {1, 2, 3}}, KeyCase{u"1.5", {1, 5}},
                    KeyCase{u"2024/01/15", {2024, 1, 15}}, KeyCase{u"1,234,567", {1234567}},
                    KeyCase{u"１，２３４", {1234}}, KeyCase{u"3, 000", {3, 0}},
                    KeyCase{u"1,,2", {1, 2}}, KeyCase{u",5", {5}}, KeyCase{u"5,", {5}},
                    KeyCase{u"-5", {-5}}, KeyCase{u"- 5", {-5}}, KeyCase{u"-\t5", {-5}},
                    KeyCase{u"－\u3000５", {-5}}, KeyCase{u"+-5", {-5}}, KeyCase{u"-+5", {5}},
                    KeyCase{u"10-5", {10, 5}}, KeyCase{u"10 -5", {10, -5}}, KeyCase{u"a - b", {}},
                    KeyCase{u"x-", {}}, KeyCase{u"-,5", {5}},
                    KeyCase{u"9223372036854775807", {Max}}, KeyCase{u"-9223372036854775808", {Min}},
                    KeyCase{u"+0009223372036854775807", {Max}}, KeyCase{u"9223372036854775808", {}},
                    KeyCase{u"-9223372036854775809", {}}, KeyCase{u"99999999999999999999", {}},
                    KeyCase{u"1 99999999999999999999 2", {1, 2}},
                    // The line's own break ends a number like any other character.
                    KeyCase{u"12\r\n", {12}}, KeyCase{u"-\r\n5", {5}},
                    // Full-width signs and commas behave as the ASCII ones.
                    KeyCase{u"＋７", {7}}, KeyCase{u"１，，２", {1, 2}}, KeyCase{u"1，000", {1000}},
                    // Other digits (Arabic-Indic, superscripts) are not numbers here.
                    KeyCase{u"\u0661\u00B2", {}}));

TEST(NumericKey, CharAtIsOneBasedAndNulOutside) {
  EXPECT_EQ(CharAt(u"abc", 1), u'a');
  EXPECT_EQ(CharAt(u"abc", 3), u'c');
  EXPECT_EQ(CharAt(u"abc", 0), u'\0');
  EXPECT_EQ(CharAt(u"abc", 4), u'\0');
  EXPECT_EQ(CharAt(u"", 1), u'\0');
}

TEST(NumericKey, CompareOrdersElementwiseThenShorterFirst) {
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{9}, TInt64DynArray{10}), -1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{10}, TInt64DynArray{9}), 1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{}, TInt64DynArray{-5}), -1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{}, TInt64DynArray{0}), -1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{1}, TInt64DynArray{1, 2}), -1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{1, 2}, TInt64DynArray{1, 3}), -1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{1, 3}, TInt64DynArray{1, 2}), 1);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{5}, TInt64DynArray{5}), 0);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{}, TInt64DynArray{}), 0);
  EXPECT_EQ(CompareNumberKeys(TInt64DynArray{Min}, TInt64DynArray{Max}), -1);
}

TEST(NumericKey, OrderedBytesCompareAsTheKeys) {
  // Random keys of values at the edges of the one-byte codes (-63 to 175), of each code length
  // (powers of 255 away from them) and of the 64-bit range, and of random values.
  std::vector<int64_t> Edges = {Min, Min + 1, -1, 0, 1, Max - 1, Max};
  for (int64_t Power = 1; Power <= Max / 255; Power *= 255) {
    Edges.insert(Edges.end(),
                 {-64 - Power, -63 - Power, -62 - Power, 175 + Power, 176 + Power, 177 + Power});
  }
  for (const int64_t Value : {-64, -63, 174, 175}) Edges.push_back(Value);
  std::mt19937_64 Rng(11);
  auto RandomKey = [&] {
    TInt64DynArray Key(Rng() % 4);
    for (int64_t& Value : Key) {
      Value = Rng() % 3 == 0 ? static_cast<int64_t>(Rng()) >> (Rng() % 64)
                             : Edges[Rng() % Edges.size()];
    }
    return Key;
  };
  auto Bytes = [](const TInt64DynArray& Key) {
    std::string Out;
    for (const int64_t Value : Key) {
      uint8_t Code[MaxOrderedBytes];
      Out.append(reinterpret_cast<const char*>(Code), OrderedBytes(Value, Code));
    }
    return Out;
  };
  for (int N = 0; N < 200000; ++N) {
    const TInt64DynArray A = RandomKey();
    const TInt64DynArray B = Rng() % 4 == 0 ? A : RandomKey();
    const int Byte = Bytes(A).compare(Bytes(B));  // unsigned bytes, a prefix first
    ASSERT_EQ((Byte > 0) - (Byte < 0), CompareNumberKeys(A, B))
        << testing::PrintToString(A) << " vs " << testing::PrintToString(B);
    ASSERT_EQ(Bytes(A).find('\0'), std::string::npos) << testing::PrintToString(A);
  }
}

TEST(NumericKey, ScannerGivesEachLineItsOwnNumbers) {
  // A run left open at the end of one line must not carry into the next.
  TNumberScanner Scanner;
  TInt64DynArray Key;
  Scanner.Scan(u"a 12", Key);
  Scanner.Scan(u"-", Key);
  Scanner.Scan(u"34", Key);
  EXPECT_EQ(Key, (TInt64DynArray{12, 34}));
}

TEST(NumericKey, AgreesWithTheCharacterSetScanOnRandomLines) {
  // Lines built from the characters that drive the scan, in every mixture. Every other line is
  // longer and mostly of units that start nothing, so that digits and signs fall at every place
  // of long stretches without them; those units include the neighbours of the digit and sign
  // codes, in value and in either byte.
  const std::u16string Alphabet = u"0123456789０９+-＋－,，  \u3000\tax.\r\n\u0661";
  const std::u16string Filler = u"ax./*:\uFF0A\uFF1A\uFF0C\uFF0F\u012B\uFE0B\uFF2D\u000B\u3000 ";
  ForEachScanForm([&] {
    std::mt19937 Rng(7);
    for (int N = 0; N < 40000; ++N) {
      const bool Sparse = N % 2 != 0;
      std::u16string Line;
      const int Length = static_cast<int>(Rng() % (Sparse ? 50 : 30));
      for (int I = 0; I < Length; ++I) {
        if (Sparse && Rng() % 5 != 0) {
          Line += Filler[Rng() % Filler.size()];
        } else if (Rng() % 8 == 0) {
          // Long digit runs now and then, to reach the edges of the 64-bit range.
          Line += Rng() % 2 ? u"9223372036854775807" : u"9223372036854775808";
        } else {
          Line += Alphabet[Rng() % Alphabet.size()];
        }
      }
      ASSERT_EQ(ExtractNumbers(Line), PlainSort::ExtractNumbers(Line));
    }
  });
}

}  // namespace
