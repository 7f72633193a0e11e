// The keyed engine against the comparators run as written, on random texts: every order and
// direction must give the same text, including where lines compare equal.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/Parallel.h"
#include "commands/LineCommands.h"
#include "platform/Win32.h"
#include "sorting/CollationKeys.h"
#include "sorting/RunMerge.h"
#include "sorting/SortWhereTheyLie.h"
#include "sorting/StringRecordListNormalSort.h"
#include "strings/StringUnit.h"
#include "support/PinnedCollation.h"
#include "support/RunSort.h"
#include "tests/reference/PlainSort.h"
#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

using namespace StringRecordListNormalSort;
using KeyedSort::TCollationKeys;
using namespace std::string_view_literals;

namespace {

// Random lines mixing what the orders react to: scripts and case, characters the collation
// ignores or treats as equal, signed and grouped numbers in both widths, surrogate pairs.
class TextGenerator {
 public:
  explicit TextGenerator(uint32_t Seed) : FRng(Seed) {}

  std::u16string Text(int MaxLines) {
    std::vector<std::u16string> Bodies;
    std::u16string Result;
    const int Lines = Pick(MaxLines + 1);
    for (int I = 0; I < Lines; ++I) {
      // Duplicates of earlier lines, sometimes with another break, give equal comparisons.
      if (!Bodies.empty() && Pick(4) == 0) {
        Bodies.push_back(Bodies[Pick(static_cast<int>(Bodies.size()))]);
      } else {
        Bodies.push_back(Body());
      }
      Result += Bodies.back();
      if (I + 1 < Lines || Pick(2) == 0) Result += Break();
    }
    return Result;
  }

  // A line that has at least one number, often few numbers and equal ones.
  std::u16string NumberedBody() {
    std::u16string Line = Body();
    Line.insert(Pick(static_cast<int>(Line.size()) + 1),
                Pick(3) == 0 ? std::u16string(1, static_cast<char16_t>(u'0' + Pick(3))) : Number());
    return Line;
  }

  std::u16string Body() {
    std::u16string Line;
    const int Pieces = Pick(6);
    for (int I = 0; I < Pieces; ++I) Line += Piece();
    return Line;
  }

 private:
  int Pick(int N) { return static_cast<int>(FRng() % static_cast<uint32_t>(N)); }

  std::u16string Break() {
    static const char16_t* const Breaks[] = {u"\r\n", u"\r\n", u"\n", u"\r"};
    return Breaks[Pick(4)];
  }

  std::u16string Piece() {
    static const std::u16string_view Words[] = {
        u"apple", u"Apple",  u"APPLE",  u"apples",   u"b",         u"B",    u"zeta",   u"co-op",
        u"coop",  u"résumé", u"resume", u"e\u0301",  u"\u00e9",    u"ǅ",    u"ß",      u"ss",
        u"Ωμέγα", u"Жук",    u"あい",   u"アイ",     u"ｱｲ",        u"かき", u"カキ",   u"漢字",
        u"日本",  u"ー",     u"〜",     u"ＡＢＣ",   u"abc",       u"𠮟る", u"😀",      u"a\u0001b",
        u"ab",    u"\u200b", u"x\0y"sv, u"\xd800"sv, u"\xdc00z"sv, u" ",    u"\u3000", u"\t",
        u".",     u",",      u"/",      u"_"};
    switch (Pick(3)) {
      case 0:
        return std::u16string(Words[Pick(static_cast<int>(std::size(Words)))]);
      case 1:
        return Number();
      default:
        return std::u16string(1, static_cast<char16_t>(u'a' + Pick(3)));
    }
  }

 public:
  std::u16string Number() {
    static const char16_t* const Signs[] = {u"", u"", u"-", u"+", u"－", u"＋", u"- ", u"-\u3000"};
    std::u16string Result = Signs[Pick(static_cast<int>(std::size(Signs)))];
    const bool Wide = Pick(4) == 0;
    const int Digits = Pick(5) == 0 ? 18 + Pick(4) : 1 + Pick(5);
    for (int D = 0; D < Digits; ++D) {
      if (D > 0 && Pick(6) == 0) Result += Wide ? u'，' : u',';
      const int Digit = D == 0 && Digits >= 19 ? 9 : Pick(10);
      Result += static_cast<char16_t>((Wide ? 0xFF10 : u'0') + Digit);
    }
    return Result;
  }

 private:
  std::mt19937 FRng;
};

class EngineList : public TStringRecordListNormalSort {
 public:
  using TStringRecordListNormalSort::ExecuteSort;
};

struct Command {
  TSortKind Kind;
  TSortOrder Order;
};
const Command Commands[] = {
    {skText, soAscending},         {skText, soDescending},       {skReverseText, soAscending},
    {skReverseText, soDescending}, {skNumeric, soAscending},     {skNumeric, soDescending},
    {skByteLength, soAscending},   {skByteLength, soDescending}, {skReverse, soDescending}};

// The two ways the product sorts: the keyed engine where the lines lie, and the list's own
// comparator sort that it falls back to.
enum class TPath { WhereTheyLie, List };

std::u16string SortWith(const std::u16string& Text, uint8_t Id, TPath Path) {
  const Command C = Commands[Id - 1];
  if (Path == TPath::WhereTheyLie && C.Kind != skReverse) {
    std::u16string Sorted;
    EXPECT_TRUE(KeyedSort::SortWhereTheyLie(Text, C.Kind, C.Order, Sorted)) << "no keys";
    return Sorted;
  }
  EngineList List;
  List.SetText(Text);
  List.ExecuteSort(C.Kind, C.Order);
  return List.Text();
}

std::u16string Utf16(const std::string& Ascii) { return {Ascii.begin(), Ascii.end()}; }

std::string Escaped(const std::u16string& S) {
  std::string Out;
  for (char16_t Ch : S) {
    if (Ch >= 0x20 && Ch < 0x7F) {
      Out += static_cast<char>(Ch);
    } else {
      char Buffer[12];
      std::snprintf(Buffer, sizeof Buffer, "\\u%04x", static_cast<unsigned>(Ch));
      Out += Buffer;
    }
  }
  return Out;
}

// The collations the texts are sorted in: on Linux a few pinned ones, elsewhere the system's.
class SortDifferential : public testing::TestWithParam<std::string> {
 protected:
  TPinnedCollation Collation{GetParam()};

  void ExpectSameAsPlain(const std::u16string& Text) {
    for (uint8_t Id = 1; Id <= 9; ++Id) {
      const std::u16string Expected = PlainSort::Sort(Text, Id);
      ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::WhereTheyLie)), Escaped(Expected))
          << "keyed, command " << int{Id} << " on " << Escaped(Text);
      ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::List)), Escaped(Expected))
          << "comparators, command " << int{Id} << " on " << Escaped(Text);
      ASSERT_EQ(Tarnwick::Sort(Text, Id), Expected) << "command " << int{Id};
      ASSERT_EQ(Tarnwick::Sort(std::u16string(Text), Id), Expected)
          << "given-up text, command " << int{Id};
    }
  }
};

TEST_P(SortDifferential, ShortTextsGiveTheSameResultAsTheComparators) {
  TextGenerator Generator(1234);
  for (int N = 0; N < 400; ++N) ExpectSameAsPlain(Generator.Text(24));
}

TEST_P(SortDifferential, LongTextsGiveTheSameResultAsTheComparators) {
  // Deeper recursion and many lines comparing equal.
  TextGenerator Generator(99);
  for (int N = 0; N < 4; ++N) ExpectSameAsPlain(Generator.Text(1500));
}

TEST_P(SortDifferential, LinesWithLongCommonBeginningsGiveTheSameResult) {
  // Lines that agree over many key bytes, and exact repeats, are ordered by bytes far into
  // their keys.
  const std::u16string Stems[] = {u"", u"2024-01-15 12:00:00 INFO request ",
                                  u"日本語の文字列の並べ替え",
                                  u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};
  TextGenerator Generator(31);
  std::mt19937 Rng(8);
  for (int N = 0; N < 6; ++N) {
    std::u16string Text;
    for (int I = 0; I < 600; ++I) {
      Text += Stems[Rng() % std::size(Stems)];
      if (Rng() % 3 != 0) Text += Stems[Rng() % std::size(Stems)];
      Text += Generator.Body();
      Text += Rng() % 5 == 0 ? u"\n" : u"\r\n";
    }
    ExpectSameAsPlain(Text);
  }
  // Keys longer than the room first set aside for them.
  const std::u16string Long(30000, u'a');
  ExpectSameAsPlain(Long + u"b\r\n" + Long + u"a\r\nz");
}

TEST_P(SortDifferential, TextsWithANumberOnEveryLineGiveTheSameResult) {
  // Every line has a number, so the numeric order decides most comparisons and the
  // dictionary order only the ties.
  TextGenerator Generator(77);
  std::mt19937 Rng(3);
  for (int N = 0; N < 150; ++N) {
    std::u16string Text;
    const int Lines = N % 10 == 0 ? 800 : static_cast<int>(Rng() % 30);
    for (int I = 0; I < Lines; ++I) {
      Text += Generator.NumberedBody();
      if (I + 1 < Lines || Rng() % 2 == 0) Text += Rng() % 4 == 0 ? u"\n" : u"\r\n";
    }
    for (uint8_t Id : {5, 6}) {
      const std::u16string Expected = PlainSort::Sort(Text, Id);
      ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::WhereTheyLie)), Escaped(Expected))
          << "command " << int{Id} << " on " << Escaped(Text);
    }
  }
}

TEST_P(SortDifferential, TextsWithFewOrNoNumbersGiveTheSameNumericResult) {
  // No line has a number, or one line in thirty has one (often the same, sometimes in
  // full-width digits), so the dictionary order decides most comparisons: long runs of lines
  // that begin alike, repeats, and lines that compare equal but differ (an accent precomposed
  // or combined) in texts large enough to be sorted on several threads.
  static const std::u16string_view Words[] = {u"apple", u"Apple", u"caf\u00e9", u"cafe\u0301",
                                              u"zeta",  u"co-op", u"あい",      u"日本",
                                              u" ",     u"\t",    u"x\u200by"};
  static const std::u16string_view Numbers[] = {u"7", u"7", u"-7", u"１２", u"12", u"3 4"};
  std::mt19937 Rng(41);
  for (const int Numbered : {0, 30}) {
    for (const int Lines : {3, 700, 6000}) {
      std::u16string Text;
      for (int I = 0; I < Lines; ++I) {
        const int Pieces = static_cast<int>(Rng() % 5);
        for (int K = 0; K < Pieces; ++K) Text += Words[Rng() % std::size(Words)];
        if (Numbered != 0 && Rng() % Numbered == 0) Text += Numbers[Rng() % std::size(Numbers)];
        if (I + 1 < Lines || Rng() % 2 == 0) Text += Rng() % 4 == 0 ? u"\r\n" : u"\n";
      }
      for (uint8_t Id : {5, 6}) {
        ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::WhereTheyLie)),
                  Escaped(PlainSort::Sort(Text, Id)))
            << "command " << int{Id} << ", " << Lines << " lines";
      }
    }
  }
}

TEST_P(SortDifferential, TextsWithAtMostOneNumberALineGiveTheSameNumericResult) {
  // No line has two numbers, so the records carry every number and the number table is
  // handed over to them: lines tie on equal numbers (their dictionary order decides, with
  // lines that compare equal but differ), a few lines have none, in texts sorted on one
  // thread and on several. The records are narrower where every number fits in 32 bits:
  // texts with numbers at those bounds, and texts with a few past them.
  static const std::u16string_view Words[] = {u"apple", u"Apple", u"caf\u00e9", u"cafe\u0301",
                                              u"zeta",  u" ",     u"あい",      u"-"};
  static const std::u16string_view Numbers[] = {
      u"7", u"-7",         u"１２",        u"12",         u"1,024",
      u"0", u"2147483647", u"-2147483648", u"2147483648", u"-2147483649"};
  std::mt19937 Rng(43);
  for (const unsigned Threads : {1u, 2u, 8u}) {
    Parallel::SetThreadCount(Threads);
    for (const auto& [Lines, Choices] : {std::pair{5, 10}, {9000, 8}, {9000, 10}}) {
      std::u16string Text;
      for (int I = 0; I < Lines; ++I) {
        const bool Before = Rng() % 2 == 0;
        if (Before) Text += Words[Rng() % std::size(Words)];
        if (Rng() % 40 != 0) {
          Text += Rng() % 3 == 0 ? std::u16string(Numbers[Rng() % Choices])
                                 : Utf16(std::to_string(Rng() % 5000));
        }
        if (!Before || Rng() % 2 == 0) Text += Words[Rng() % std::size(Words)];
        if (I + 1 < Lines || Rng() % 2 == 0) Text += Rng() % 4 == 0 ? u"\r\n" : u"\n";
      }
      for (uint8_t Id : {5, 6}) {
        ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::WhereTheyLie)),
                  Escaped(PlainSort::Sort(Text, Id)))
            << "command " << int{Id} << ", " << Lines << " lines, " << Threads << " threads";
      }
    }
  }
  Parallel::SetThreadCount(0);
}

TEST_P(SortDifferential, LinesThatShareTheirFirstNumbersGiveTheSameResult) {
  // Dates and times at the start of the lines: long runs of lines share their first numbers,
  // some lines end after any of them, and lines with all their numbers equal tie, repeated
  // lines and numbers past 64 bits among them. Then numbers at the edges of their byte codes.
  // The large text, sorted on one thread and on several, has few ties in its first half.
  static const int64_t Edges[] = {-64, -63, 175, 176, 430, 431, -319, -318, INT64_MAX, INT64_MIN};
  auto AddNumber = [](std::u16string& Line, int64_t Value) {
    Line += u' ';
    Line += Utf16(std::to_string(Value));
  };
  TextGenerator Generator(5);
  std::mt19937 Rng(12);
  for (const int Lines : {3000, 3000, 3000, 10000}) {
    std::vector<std::u16string> Earlier;
    std::u16string Text;
    for (int I = 0; I < Lines; ++I) {
      std::u16string Line = u"2026";
      const bool FewTies = I < Lines / 2 && Lines > 3000;
      // The last line repeats an earlier one: without its break, it ties with its copies
      // through the break it borrows.
      if (!Earlier.empty() && (I + 1 == Lines || Rng() % (FewTies ? 16 : 4) == 0)) {
        Line = Earlier[Rng() % Earlier.size()];
      } else if (FewTies) {
        AddNumber(Line, Rng());
        AddNumber(Line, Rng());
      } else {
        for (int Part = 0, Parts = static_cast<int>(Rng() % 7); Part < Parts; ++Part) {
          Line += Part % 2 == 0 ? u"-" : u":";
          Line += std::u16string(1, static_cast<char16_t>(u'0' + Rng() % (Part < 3 ? 2 : 10)));
        }
        if (Rng() % 3 == 0) Line += Generator.Body();
        if (Rng() % 4 == 0) AddNumber(Line, Edges[Rng() % std::size(Edges)]);
      }
      Earlier.push_back(Line);
      Text += Line;
      if (I + 1 < Lines || Rng() % 2 == 0) Text += Rng() % 4 == 0 ? u"\r\n" : u"\n";
    }
    for (uint8_t Id : {5, 6}) {
      const std::u16string Expected = PlainSort::Sort(Text, Id);
      for (const unsigned Threads : Lines > 3000 ? std::vector{1u, 2u, 8u} : std::vector{0u}) {
        Parallel::SetThreadCount(Threads);
        ASSERT_EQ(Escaped(SortWith(Text, Id, TPath::WhereTheyLie)), Escaped(Expected))
            << "command " << int{Id} << ", " << Lines << " lines, " << Threads << " threads";
      }
    }
    Parallel::SetThreadCount(0);
  }
}

TEST_P(SortDifferential, CollationKeysOrderLikeLocaleCompare) {
  TextGenerator Generator(5);
  std::vector<std::u16string> Texts;
  for (int N = 0; N < 1500; ++N) {
    Texts.push_back(Generator.Body());
    Texts.push_back(StringUnit::ReverseString(Texts.back() + u"\r\n"));
  }
  Texts.push_back(u"");
  TCollationKeys Keys;
  for (const auto& T : Texts) ASSERT_TRUE(Keys.Add(T)) << Escaped(T);
  int Disagreements = 0;
  for (size_t I = 0; I < Texts.size(); ++I) {
    for (size_t J = I; J < Texts.size(); J += 1 + I % 7) {
      const auto Expected = StringUnit::LocaleCompare(Texts[I], Texts[J]);
      const int32_t Sign = Expected == StringUnit::crLess    ? -1
                           : Expected == StringUnit::crEqual ? 0
                                                             : 1;
      const int32_t ByKey = Keys.Compare(I, J);
      const bool PrefixAgrees =
          Keys.Prefix(I) == Keys.Prefix(J) || (Keys.Prefix(I) < Keys.Prefix(J)) == (ByKey < 0);
      if (ByKey != Sign || !PrefixAgrees) {
        if (++Disagreements <= 5) {
          ADD_FAILURE() << Escaped(Texts[I]) << " vs " << Escaped(Texts[J]) << ": compare " << Sign
                        << ", keys " << ByKey;
        }
      }
    }
  }
  EXPECT_EQ(Disagreements, 0);
}

// With the tool's --natural (digits compared by their value) every path still gives the plain
// sort's result; code-point order has no such comparison.
TEST_P(SortDifferential, DigitsComparedAsNumbersGiveTheSameResult) {
  if (GetParam() == "C") GTEST_SKIP() << "code-point order";
  struct TNatural {
    TNatural() { StringUnit::SetCollationFlags(SORT_DIGITSASNUMBERS); }
    ~TNatural() { StringUnit::SetCollationFlags(0); }
  } Natural;
  TextGenerator Generator(2718);
  std::mt19937 Rng(5);
  // Lines of characters whose keys are long for their length: mostly such lines, their keys
  // outgrow the room the first request for a key has.
  const std::u16string Long = u"㍿㍿㍿㍿㍿㍿㍿㍿㍿㍿";
  for (int N = 0; N < 60; ++N) {
    std::u16string Text;
    const bool LongKeys = N % 4 == 0;
    for (int I = static_cast<int>(Rng() % 30); I > 0; --I) {
      if (LongKeys && Rng() % 8 != 0) {
        const std::u16string Number = Generator.Number();
        Text += Rng() % 2 == 0 ? Long + Number : Number + Long;
      } else {
        Text += Rng() % 2 == 0 ? Generator.NumberedBody() : Generator.Body();
      }
      Text += Rng() % 4 == 0 ? u"\n" : u"\r\n";
    }
    ExpectSameAsPlain(Text);
  }
}

// Read from their ends with --natural, lines that share the rest are ordered by each run of
// digits read forwards, in every script's digits the collation counts.
TEST(DigitsComparedAsNumbers, CountForwardsInTheOrdersReadFromTheEnd) {
  const TPinnedCollation Pinned("root");
  struct TNatural {
    TNatural() { StringUnit::SetCollationFlags(SORT_DIGITSASNUMBERS); }
    ~TNatural() { StringUnit::SetCollationFlags(0); }
  } Natural;
  // Each in ascending order.
  std::vector<std::vector<std::u16string>> Orders = {
      {u"img3.png", u"img12.png", u"img21.png", u"img100.png"},
      {u"file2", u"file10", u"file2a", u"file10a"},
      {u"第9章", u"第10章", u"第１１章", u"第１００章"},
      {u"ｆｉｌｅ２", u"ｆｉｌｅ１０"},
      {u"x\x0669", u"x\x0661\x0660"},   // Arabic-Indic 9, 10
      {u"x\x0967", u"x\x0968\x0966"}};  // Devanagari 1, 20
  // Digits beyond U+FFFF, in pairs of surrogates, where the platform counts them (ICU).
  if (StringUnit::IsCountedDigit(0x1D7CE)) {
    Orders.push_back({u"x\U0001D7D7", u"x\U0001D7CF\U0001D7CE", u"x\U0001D7D0\U0001D7CE"});
  }
  for (const auto& Order : Orders) {
    std::u16string Ascending, Descending, Input;
    for (const auto& Line : Order) Ascending += Line + u"\n";
    for (auto Line = Order.rbegin(); Line != Order.rend(); ++Line) Descending += *Line + u"\n";
    for (size_t K = 0; K < Order.size(); ++K) Input += Order[(K + 1) % Order.size()] + u"\n";
    EXPECT_EQ(Escaped(Tarnwick::Sort(Input, 3)), Escaped(Ascending));
    EXPECT_EQ(Escaped(Tarnwick::Sort(Input, 4)), Escaped(Descending));
    EXPECT_EQ(Escaped(PlainSort::Sort(Input, 3)), Escaped(Ascending));
  }
  // The digits kept forwards are those the platform's numeric comparison counts, x2y before x10
  // in them (where ignored digits would put x10 first): every script's with ICU, most under Wine.
  size_t Counted = 0;
  for (char32_t Zero = 0; Zero < 0x20000; ++Zero) {
    if (!StringUnit::IsDecimalDigit(Zero) || StringUnit::IsDecimalDigit(Zero - 1)) continue;
    const auto Digit = [Zero](int Value) {
      const char32_t C = Zero + static_cast<char32_t>(Value);
      if (C < 0x10000) return std::u16string(1, static_cast<char16_t>(C));
      return std::u16string{static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10)),
                            static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF))};
    };
    std::u16string Two = u"x", Ten = u"x";
    Two += Digit(2) + u"y";
    Ten += Digit(1);
    Ten += Digit(0);
    const bool Counts = StringUnit::LocaleCompare(Two, Ten) == StringUnit::crLess;
    for (int Value = 0; Value < 10; ++Value) {
      ASSERT_EQ(StringUnit::IsCountedDigit(Zero + static_cast<char32_t>(Value)), Counts)
          << std::hex << static_cast<uint32_t>(Zero);
    }
    Counted += Counts;
  }
  EXPECT_GE(Counted, 20u);
  EXPECT_FALSE(StringUnit::IsCountedDigit(u'a'));
  EXPECT_FALSE(StringUnit::IsCountedDigit(u'\xB2'));  // superscript two
}

// The sort past the buffer on the text as UTF-16LE bytes.
class TUtf16LELines final : public KeyedSort::TLineDecoder {
 public:
  std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const override {
    Scratch.resize(Line.size() / 2);
    std::memcpy(Scratch.data(), Line.data(), Scratch.size() * 2);
    return Scratch;
  }
};

std::u16string SortInRuns(const std::u16string& Text, Command C, LineTies::TTies Ties, size_t Piece,
                          size_t FanIn, int& Merged) {
  const TUtf16LELines Decoder;
  const RunMerge::TLineOrder Order(Decoder, C.Kind, C.Order, Ties);
  const std::string Bytes(reinterpret_cast<const char*>(Text.data()), Text.size() * 2);
  const std::string Sorted =
      RunSort::SortInRuns(Bytes, RunMerge::TUnits::unUtf16LE, Order, Piece, FanIn, Merged);
  std::u16string Result(Sorted.size() / 2, u'\0');
  std::memcpy(Result.data(), Sorted.data(), Result.size() * 2);
  return Result;
}

// Every order sorted in runs and merged: the in-memory sort's result where no two different
// lines compare equal, else the stable sort's; with the whole lines breaking ties, the stable
// sort by the keys and then the whole lines.
void ExpectRunsSortStably(const std::u16string& Text, size_t Piece, size_t FanIn, int& Merged) {
  const auto Itself = [](std::u16string_view B) { return std::u16string(B); };
  for (uint8_t Id = 1; Id <= 8; ++Id) {
    const Command C = Commands[Id - 1];
    bool Ties;
    const std::u16string Stable = PlainSort::StableSortByKeys(Text, Id, Itself, Ties);
    for (const LineTies::TTies Rule :
         {LineTies::tiAsSorted, LineTies::tiInputOrder, LineTies::tiWholeLine}) {
      const std::u16string Expected =
          Rule == LineTies::tiWholeLine
              ? PlainSort::SortByKeys(Text, Id, Itself, nullptr, LineTies::tiWholeLine)
              : Stable;
      int Levels = 0;
      ASSERT_EQ(Escaped(SortInRuns(Text, C, Rule, Piece, FanIn, Levels)), Escaped(Expected))
          << "command " << int{Id} << " ties " << int{static_cast<uint8_t>(Rule)} << " on "
          << Escaped(Text);
      Merged += Levels;
    }
    if (!Ties) {
      ASSERT_EQ(Escaped(Tarnwick::Sort(std::u16string(Text), Id)), Escaped(Stable))
          << "command " << int{Id} << " on " << Escaped(Text);
    }
  }
}

TEST_P(SortDifferential, SortedInRunsGivesTheStableSortAndTheSameResultWhereNoLinesTie) {
  TextGenerator Generator(4242);
  std::mt19937 Rng(17);
  int Merged = 0;
  for (int N = 0; N < 60; ++N) {
    // Texts with repeats and lines that compare equal, and texts of distinct lines.
    std::u16string Text = Generator.Text(N % 10 == 0 ? 400 : 40);
    if (N % 2 == 0) {
      std::u16string Distinct;
      for (int I = static_cast<int>(Rng() % 60); I > 0; --I) {
        Distinct += Generator.Body() + u" " + Utf16(std::to_string(Rng())) + u"\n";
      }
      Text = Distinct;
    }
    ExpectRunsSortStably(Text, 16 + Rng() % 300, 2 + Rng() % 3, Merged);
  }
  // Merges of merges were made: more runs than the fan-in.
  EXPECT_GT(Merged, 100);
}

TEST_P(SortDifferential, SortedInRunsWithDigitsComparedAsNumbersIsStable) {
  if (GetParam() == "C") GTEST_SKIP() << "code-point order";
  struct TNatural {
    TNatural() { StringUnit::SetCollationFlags(SORT_DIGITSASNUMBERS); }
    ~TNatural() { StringUnit::SetCollationFlags(0); }
  } Natural;
  TextGenerator Generator(99);
  int Merged = 0;
  for (int N = 0; N < 20; ++N) ExpectRunsSortStably(Generator.Text(60), 40, 2, Merged);
}

#ifndef _WIN32
// Where the platform has no key for a line, the sort falls back to the list's comparator sort:
// the result is still the plain sort's.
TEST_P(SortDifferential, ALineWithoutAKeyLeavesTheSortToTheList) {
  TextGenerator Generator(77);
  standin::FailSortKeysOn(u'\u2603');
  for (int N = 0; N < 60; ++N) {
    // Lines that tie on their numbers are ordered by their keys too.
    const std::u16string Text = u"\u2603 5\na 5\n" + Generator.Text(24);
    std::u16string Sorted;
    EXPECT_FALSE(KeyedSort::SortWhereTheyLie(Text, skText, soAscending, Sorted));
    for (uint8_t Id = 1; Id <= 8; ++Id) {
      ASSERT_EQ(Tarnwick::Sort(std::u16string(Text), Id), PlainSort::Sort(Text, Id))
          << "command " << int{Id} << " on " << Escaped(Text);
    }
  }
  // Lines of one number each: the numeric order makes keys as it needs them and compares the
  // lines without one directly, some of them the same line twice.
  std::u16string Single;
  for (int K = 0; K < 90; ++K) {
    Single += K % 3 == 0 ? u"\u2603 " : K % 3 == 1 ? u"b " : u"\u2603 a ";
    Single += static_cast<char16_t>(u'0' + K % 4);
    Single += u'\n';
  }
  for (const uint8_t Id : {5, 6}) {
    ASSERT_EQ(Tarnwick::Sort(std::u16string(Single), Id), PlainSort::Sort(Single, Id));
  }
  // Runs compare the lines without keys directly, beside the keyed ones.
  int Merged = 0;
  for (int N = 0; N < 20; ++N) {
    ExpectRunsSortStably(u"\u2603 5\na 5\n" + Generator.Text(30), 30, 2, Merged);
  }
  standin::FailSortKeysOn(0);
}
#endif

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(System, SortDifferential, testing::Values(std::string("system")));
#else
INSTANTIATE_TEST_SUITE_P(Collations, SortDifferential, testing::Values("en", "ja", "root", "C"),
                         [](const auto& Info) { return Info.param; });
#endif

}  // namespace
