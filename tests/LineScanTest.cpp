#include "strings/LineScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/ScanForms.h"

using LineScan::TLine;

namespace {

// Each line of Text as its whole text and its body.
std::vector<std::pair<std::u16string, std::u16string>> Cut(std::u16string_view Text) {
  std::vector<std::pair<std::u16string, std::u16string>> Lines;
  LineScan::ForEachLine(Text, [&](const TLine& Line) {
    Lines.emplace_back(Text.substr(Line.Offset, Line.Length),
                       Text.substr(Line.Offset, Line.BodyLength));
  });
  return Lines;
}

std::u16string RandomText(std::mt19937& Rng, size_t MaxLength) {
  // CR and LF, and units that share a byte with them, so that a comparison of bytes rather
  // than of whole code units would be caught.
  static const char16_t Units[] = {u'\r',  u'\n',  u'a',   0x0D00, 0x0A00,
                                   0x010D, 0x0A0D, 0xFF0A, u'あ'};
  std::u16string Text(Rng() % (MaxLength + 1), u'a');
  for (auto& Unit : Text) Unit = Units[Rng() % std::size(Units)];
  return Text;
}

}  // namespace

TEST(LineScan, VectorAndPlainSearchFindTheSameBreakOnRandomTexts) {
  std::mt19937 Rng(20261207);
  for (int Round = 0; Round < 3000; ++Round) {
    // Mostly long runs without a break, so that the vector loop runs several steps.
    std::u16string Text = RandomText(Rng, 70);
    for (auto& Unit : Text) {
      if ((Unit == u'\r' || Unit == u'\n') && Rng() % 8 != 0) Unit = u'x';
    }
    for (size_t From = 0; From <= Text.size(); ++From) {
      ASSERT_EQ(LineScan::FindBreak(Text.data(), From, Text.size()),
                LineScan::FindBreakScalar(Text.data(), From, Text.size()))
          << "round " << Round << " from " << From;
    }
  }
}

// The starts found 64 units at a time against those of the lines cut one by one, on texts of
// either unit whose breaks are sparse or dense and fall on every place of a 64-unit step.
template <class TUnit>
void ExpectLineStartsOfTheCutLines(const std::vector<TUnit>& Units, std::mt19937& Rng) {
  for (int Round = 0; Round < 2000; ++Round) {
    std::basic_string<TUnit> Text(Rng() % 300, TUnit('x'));
    const unsigned Sparse = 1 + Rng() % 40;
    for (auto& Unit : Text) {
      if (Rng() % Sparse == 0) Unit = Units[Rng() % Units.size()];
    }
    std::vector<size_t> Cut;
    LineScan::ForEachLine(std::basic_string_view<TUnit>(Text),
                          [&](const TLine& Line) { Cut.push_back(Line.Offset); });
    std::vector<size_t> Found;
    const size_t Lines = LineScan::ForEachLineStart(std::basic_string_view<TUnit>(Text),
                                                    [&](size_t Start) { Found.push_back(Start); });
    ASSERT_EQ(Found, Cut) << "round " << Round;
    ASSERT_EQ(Lines, Cut.size()) << "round " << Round;
  }
}

TEST(LineScan, LineStartsFoundInStepsAreThoseOfTheCutLines) {
  ForEachScanForm([] {
    std::mt19937 Rng(20261208);
    ExpectLineStartsOfTheCutLines<char16_t>({u'\r', u'\n', 0x0D00, 0x0A0D, u'あ'}, Rng);
    ExpectLineStartsOfTheCutLines<char>({'\r', '\n', '\x8D', '\x8A', 'a'}, Rng);
  });
}

TEST(LineScan, LinesJoinBackToTheTextAndEachEndsInItsOnlyBreak) {
  std::mt19937 Rng(7);
  for (int Round = 0; Round < 3000; ++Round) {
    const std::u16string Text = RandomText(Rng, 40);
    std::u16string Joined;
    std::u16string Previous;
    for (const auto& [Whole, Body] : Cut(Text)) {
      Joined += Whole;
      ASSERT_FALSE(Whole.empty());
      ASSERT_EQ(Body.find_first_of(u"\r\n"), std::u16string::npos) << "round " << Round;
      const std::u16string Break = Whole.substr(Body.size());
      ASSERT_TRUE(Break == u"\r\n" || Break == u"\r" || Break == u"\n" ||
                  (Break.empty() && Joined.size() == Text.size()))
          << "round " << Round;
      // A CR LF is one break: never a line ending in CR followed by one starting with LF.
      ASSERT_FALSE(!Previous.empty() && Previous.back() == u'\r' && Whole.front() == u'\n');
      Previous = Whole;
    }
    ASSERT_EQ(Joined, Text) << "round " << Round;
  }
}

TEST(LineScan, EdgesOfATextCutAtEveryKindOfBreak) {
  using Lines = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_TRUE(Cut(u"").empty());
  EXPECT_EQ(
      Cut(u"\r\n\r\r\n\n\n\r"),
      (Lines{
          {u"\r\n", u""}, {u"\r", u""}, {u"\r\n", u""}, {u"\n", u""}, {u"\n", u""}, {u"\r", u""}}));
  EXPECT_EQ(Cut(u"ab\r"), (Lines{{u"ab\r", u"ab"}}));
  EXPECT_EQ(Cut(u"ab"), (Lines{{u"ab", u"ab"}}));
  EXPECT_EQ(Cut(u"a\n\rb"), (Lines{{u"a\n", u"a"}, {u"\r", u""}, {u"b", u"b"}}));
}

TEST(LineScan, CrLfAcrossAVectorBoundaryStaysOneBreak) {
  // The CR is the last unit of one eight-unit step and the LF the first of the next.
  for (const size_t At : {size_t{7}, size_t{15}, size_t{23}}) {
    const std::u16string Text = std::u16string(At, u'x') + u"\r\ny";
    const TLine Line = LineScan::LineAt(Text, 0);
    EXPECT_EQ(Line.Length, At + 2);
    EXPECT_EQ(Line.BodyLength, At);
    EXPECT_EQ(LineScan::LineAt(Text, At + 2).Length, 1u);
  }
}

TEST(LineScan, BreakEndPassesOneBreakOrStopsAtTheEnd) {
  const std::u16string_view Text = u"a\r\n\n\r";
  EXPECT_EQ(LineScan::BreakEnd(Text, 1), 3u);
  EXPECT_EQ(LineScan::BreakEnd(Text, 3), 4u);
  EXPECT_EQ(LineScan::BreakEnd(Text, 4), 5u);
  EXPECT_EQ(LineScan::BreakEnd(Text, 5), 5u);
}

TEST(LineScan, ByteSearchFindsTheSameBreakOnBothPaths) {
  // UTF-8 bytes: continuation and lead bytes whose low bits are those of CR or LF.
  static const char Bytes[] = {'\r', '\n', 'a', '\x8D', '\x8A', '\xCD', '\xE3', '\x0B', '\x0C'};
  std::mt19937 Rng(11);
  for (int Round = 0; Round < 3000; ++Round) {
    std::string Text(Rng() % 80, 'a');
    for (auto& Unit : Text) Unit = Rng() % 6 == 0 ? Bytes[Rng() % std::size(Bytes)] : 'x';
    for (size_t From = 0; From <= Text.size(); ++From) {
      ASSERT_EQ(LineScan::FindBreak(Text.data(), From, Text.size()),
                LineScan::FindBreakScalar(Text.data(), From, Text.size()))
          << "round " << Round << " from " << From;
    }
  }
  const std::string CrLfAcross = std::string(15, 'x') + "\r\ny";
  EXPECT_EQ(LineScan::LineAt(std::string_view(CrLfAcross), 0).Length, 17u);
}
