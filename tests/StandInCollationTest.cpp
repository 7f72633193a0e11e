// The stand-in's choice of collation: locale names it must refuse or accept, and the
// code-point order of the C locale, in which comparisons and sort keys must agree.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Win32.h"
#include "platform/linux/Nls.h"

namespace {

class StandInCollation : public testing::Test {
 protected:
  void TearDown() override {
    standin::SystemHasLocale = SavedSystemHasLocale;
    if (SavedLcAll)
      ::setenv("LC_ALL", SavedLcAll->c_str(), 1);
    else
      ::unsetenv("LC_ALL");
    standin::SetCollationLocale("en");
  }
  bool (*SavedSystemHasLocale)(const std::string&) = standin::SystemHasLocale;
  std::optional<std::string> SavedLcAll =
      std::getenv("LC_ALL") ? std::optional<std::string>(std::getenv("LC_ALL")) : std::nullopt;
};

int Compare(const std::u16string& A, const std::u16string& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, 0, AsWide(A.data()), static_cast<int>(A.size()),
                        AsWide(B.data()), static_cast<int>(B.size()));
}

std::string Key(const std::u16string& S) {
  const int Size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, AsWide(S.data()),
                                static_cast<int>(S.size()), nullptr, 0);
  std::string Bytes(Size, '\0');
  const int Written =
      LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, AsWide(S.data()), static_cast<int>(S.size()),
                   reinterpret_cast<LPWSTR>(Bytes.data()), Size);
  EXPECT_EQ(Written, Size);
  return Bytes;
}

// A locale ICU has no data for is refused by name, unless the system has it (glibc knows
// languages ICU does not collate): then it gets the root order, reported with its name.
TEST_F(StandInCollation, UnknownLocalesAreRefusedByNameUnlessTheSystemHasThem) {
  for (bool SystemHasThem : {false, true}) {
    standin::SystemHasLocale = SystemHasThem ? [](const std::string&) { return true; }
                                             : [](const std::string&) { return false; };
    for (const std::string Name : {"bogus", "xx_YY", "bogus_XX.UTF-8", ""}) {
      if (Name.empty()) ::setenv("LC_ALL", "xx_YY.UTF-8", 1);
      const std::pair<std::string, std::string> Named =
          Name.empty() ? std::pair<std::string, std::string>{"xx_YY.UTF-8", "LC_ALL"}
                       : std::pair<std::string, std::string>{Name, ""};
      try {
        const Collation::TLocaleChoice Choice = standin::SetCollationLocale(Name);
        EXPECT_TRUE(SystemHasThem) << Named.first << " accepted";
        EXPECT_EQ(Choice.Case, Collation::lcRoot) << Named.first;
        EXPECT_EQ(std::pair(Choice.Locale.Name, Choice.Locale.Variable), Named);
        EXPECT_EQ(standin::CollationLocale(), "root");
      } catch (const Collation::EUnknownLocale& E) {
        EXPECT_FALSE(SystemHasThem) << E.what();
        EXPECT_EQ(std::pair(E.Locale().Name, E.Locale().Variable), Named);
      }
    }
  }
  // A locale known through its language only is taken, reported with the language's.
  const Collation::TLocaleChoice Choice = standin::SetCollationLocale("en_ZZ");
  EXPECT_EQ(std::tie(Choice.Case, Choice.Locale.Name, Choice.Fallback),
            std::tuple(Collation::lcFallback, "en_ZZ", "en"));
  for (const char* Name : {"en_US.UTF-8", "ja_JP", "ja", "root", "de_DE@euro"})
    EXPECT_EQ(standin::SetCollationLocale(Name).Case, Collation::lcOwn) << Name;
}

TEST_F(StandInCollation, CAndPosixAreCodePointOrder) {
  for (const char* Name : {"C", "POSIX", "C.UTF-8"}) {
    standin::SetCollationLocale(Name);
    EXPECT_EQ(standin::CollationLocale(), "C") << Name;
    EXPECT_EQ(Compare(u"B", u"a"), CSTR_LESS_THAN) << "capitals first, as bytes";
    EXPECT_EQ(Compare(u"a", std::u16string(u"a\0", 2)), CSTR_LESS_THAN);
    // A supplementary character comes after U+FFxx, though its first code unit is smaller.
    EXPECT_EQ(Compare(u"😀", u"\uFF21"), CSTR_GREATER_THAN);
    EXPECT_EQ(Compare(u"x😀", u"x\uE000"), CSTR_GREATER_THAN);
    EXPECT_EQ(Compare(u"\xD800", u"\uE000"), CSTR_LESS_THAN) << "an unpaired surrogate";
    EXPECT_EQ(Compare(u"é", u"e\u0301"), CSTR_GREATER_THAN) << "no canonical equivalence";
  }
  standin::SetCollationLocale("root");
  EXPECT_EQ(Compare(u"B", u"a"), CSTR_GREATER_THAN) << "root is the CLDR order";
}

TEST_F(StandInCollation, CodePointKeysOrderAsTheComparison) {
  standin::SetCollationLocale("C");
  const std::u16string Units[] = {u"a",      u"B",      std::u16string(1, u'\0'),
                                  u"é",      u"\uFF21", u"\uE000",
                                  u"😀",      u"\xD800", u"\xDC00",
                                  u"\xDBFF", u"日",     u"\x7F"};
  std::mt19937 Random(5);
  for (int N = 0; N < 20000; ++N) {
    std::u16string A, B;
    for (int I = Random() % 5; I > 0; --I) A += Units[Random() % std::size(Units)];
    B = A.substr(0, Random() % (A.size() + 1));
    for (int I = Random() % 4; I > 0; --I) B += Units[Random() % std::size(Units)];
    const int Expected = Compare(A, B);
    const std::string KeyA = Key(A), KeyB = Key(B);
    const int ByKey = KeyA < KeyB ? CSTR_LESS_THAN : KeyA == KeyB ? CSTR_EQUAL : CSTR_GREATER_THAN;
    ASSERT_EQ(ByKey, Expected);
    ASSERT_EQ(Expected == CSTR_EQUAL, A == B);
  }
}

}  // namespace
#endif
