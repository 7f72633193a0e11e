// The fast duplicate commands (and the tool's unique-only and repeated-only selections) against
// the plain quadratic ones on many random texts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "commands/LineCommands.h"
#include "reference/DuplicationReference.h"
#include "support/TestText.h"

namespace {

// Texts built from a small pool of lines so that most lines repeat: bodies that differ only
// in case, a trailing space or a backslash-E, empty lines, all three breaks, and often a last
// line without a break.
std::u16string PooledText(std::mt19937& Rng, int MaxLines) {
  static const std::vector<std::u16string> Bodies{u"",    u"a",  u"A",   u"a ",
                                                  u"a\t", u"ab", u"\\E", u"x\\Ey",
                                                  u"b\\", u"あ", u"a:1", u"\U0001F600"};
  return TestText::PooledText(Rng, MaxLines, Bodies);
}

// Texts of random code units, so that line breaks fall anywhere (a CR before an LF of the next
// piece joins them into one break).
std::u16string RandomText(std::mt19937& Rng, int MaxLength) {
  static const char16_t Units[] = {u'a', u'A', u' ', u'\r', u'\n', u'\n', u'\\', u'E', u'あ'};
  std::u16string Text;
  for (int I = static_cast<int>(Rng() % (MaxLength + 1)); I > 0; --I) {
    Text += Units[Rng() % std::size(Units)];
  }
  return Text;
}

void ExpectSameAsReference(const std::u16string& Text) {
  ASSERT_EQ(Tarnwick::DuplicationDelete(Text), DuplicationReference::DuplicationDelete(Text));
  ASSERT_EQ(Tarnwick::DuplicationDeleteCountDown(Text),
            DuplicationReference::DuplicationDeleteCountDown(Text));
  ASSERT_EQ(Tarnwick::DuplicationHighlightPattern(Text),
            DuplicationReference::DuplicationHighlightPattern(Text));
  const DuplicationReference::TKeyedReference Bodies(
      Text, [](std::u16string_view Body) { return std::u16string(Body); });
  ASSERT_EQ(Tarnwick::DuplicationSelect(Text, Tarnwick::ocOnce), Bodies.Dedupe("once"));
  ASSERT_EQ(Tarnwick::DuplicationSelect(Text, Tarnwick::ocRepeated), Bodies.Dedupe("repeated"));
}

TEST(DuplicationCommands, MatchTheLineByLineScanOnTextsWithManyRepeats) {
  std::mt19937 Rng(2024);
  for (int Round = 0; Round < 4000; ++Round) {
    SCOPED_TRACE(Round);
    ExpectSameAsReference(PooledText(Rng, 40));
  }
}

TEST(DuplicationCommands, MatchTheLineByLineScanOnRandomCodeUnits) {
  std::mt19937 Rng(99);
  for (int Round = 0; Round < 4000; ++Round) {
    SCOPED_TRACE(Round);
    ExpectSameAsReference(RandomText(Rng, 60));
  }
}

TEST(DuplicationCommands, MatchTheLineByLineScanOnLongTexts) {
  // Long enough that the hash index grows several times and counts reach the hundreds: many
  // distinct lines, few, few with counts past 255, and many with a few frequent ones (counts
  // past 255 beside counts of 1).
  std::mt19937 Rng(5);
  for (int Round = 0; Round < 8; ++Round) {
    SCOPED_TRACE(Round);
    std::u16string Text;
    const unsigned Distinct = std::vector<unsigned>{3000, 40, 6, 3000}[Round % 4];
    for (int I = 0; I < 3000; ++I) {
      const unsigned N = Round % 4 == 3 && Rng() % 2 == 0 ? Rng() % 4 : Rng() % Distinct;
      for (const char C : std::to_string(N)) Text += static_cast<char16_t>(C);
      Text += (N % 7 == 0) ? u"\n" : u"\r\n";
    }
    ExpectSameAsReference(Text);
  }
}

}  // namespace
