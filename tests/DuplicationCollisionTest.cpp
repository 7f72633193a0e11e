// Lines built so that their hashes collide under one seed: under that seed the table's probes
// grow with the square of the lines; under the seed each table draws for itself they stay
// about one per line, so no prepared file can make the duplicate commands quadratic. And the
// commands with every hash equal, so that each lookup rests on comparing the lines' units.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "base/Parallel.h"
#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"
#include "reference/DuplicationReference.h"
#include "support/TestText.h"

using namespace DuplicationLineTable;

namespace {

constexpr uint64_t KnownSeed = 0x7A11'C0DE;

// Count different lines whose hashes under KnownSeed agree in the top twelve of the 32 bits
// the table keeps, which pick the home slot, so that they all start their search at the same
// slot (or the one after it) of a table of up to 4096 slots; then the same lines again with
// other breaks.
std::u16string CollidingText(int Count) {
  std::mt19937_64 Rng(5);
  std::vector<std::u16string> Bodies;
  uint64_t Target = 0;
  while (Bodies.size() < static_cast<size_t>(Count)) {
    std::u16string Body = u"line ";
    for (int K = 0; K < 10; ++K) Body += static_cast<char16_t>(u'a' + Rng() % 26);
    const uint64_t Hash =
        XXH3_64bits_withSeed(Body.data(), Body.size() * sizeof(char16_t), KnownSeed);
    const uint64_t Top = (Hash >> 20) & 0xFFF;
    if (Bodies.empty()) Target = Top;
    if (Top == Target) Bodies.push_back(Body);
  }
  std::u16string Text;
  for (const auto& Body : Bodies) Text += Body + u"\n";
  for (const auto& Body : Bodies) Text += Body + u"\r\n";
  return Text;
}

size_t ProbesOf(TDistinctLines& Table) {
  size_t Lines = 0;
  Table.Scan([&Lines](const TLine&, uint32_t, bool) { ++Lines; });
  return Table.Probes();
}

TEST(DuplicationCollisions, LinesMadeToCollideUnderOneSeedStayLinearUnderAFreshSeed) {
  constexpr size_t Distinct = 300;
  const std::u16string Text = CollidingText(Distinct);
  const size_t Lines = 2 * Distinct;

  // The construction works: under the seed it was made for, every lookup walks past all the
  // distinct lines before it.
  TDistinctLines Known(Text, kkBody, KnownSeed);
  EXPECT_GT(ProbesOf(Known), Distinct * Distinct / 2);
  EXPECT_EQ(Known.Count(), Distinct);

  // Each table draws its own seed: a few probes per line, whatever the draw.
  for (int Run = 0; Run < 5; ++Run) {
    TDistinctLines Fresh(Text, kkBody);
    EXPECT_LT(ProbesOf(Fresh), 3 * Lines) << "run " << Run;
    EXPECT_EQ(Fresh.Count(), Distinct);
    TDistinctLines Whole(Text, kkWholeLine);
    EXPECT_LT(ProbesOf(Whole), 3 * Lines) << "run " << Run;
    EXPECT_EQ(Whole.Count(), Lines);
  }

  // And the commands give the same text as ever on it.
  EXPECT_EQ(Tarnwick::DuplicationDelete(Text), Text.substr(0, Text.size() - Distinct * 17));
}

// Every key gets the same hash, so every lookup meets every earlier distinct line with an
// equal hash and only the comparison of the units tells them apart.
uint32_t SameHash(const void*, size_t) { return 0x9E3779B9; }

class AllHashesEqual {
 public:
  AllHashesEqual() { SetHashForTests(SameHash); }
  ~AllHashesEqual() { SetHashForTests(nullptr); }
  AllHashesEqual(const AllHashesEqual&) = delete;
  AllHashesEqual& operator=(const AllHashesEqual&) = delete;
};

// Lines that are hard to tell apart: prefixes of each other, equal lengths that differ in
// one unit (or one byte of a character), a body that ends where another's break begins, all
// three breaks, and sometimes a last line without one.
std::u16string LookAlikeText(std::mt19937& Rng, int MaxLines) {
  static const std::vector<std::u16string> Bodies{
      u"",   u"a",  u"ab",   u"abc",        u"abd",        u"b",  u"ab\\E", u"\\E",
      u"あ", u"い", u"あい", u"\U0001F600", u"\U0001F601", u"a ", u" a",    u"a\tb"};
  return TestText::PooledText(Rng, MaxLines, Bodies);
}

// The three commands on Text, in UTF-16 and on its UTF-8 bytes (deletion also in place),
// against Expected (the reference's results, or the seeded table's).
void ExpectResults(const std::u16string& Text, const std::u16string& Deleted,
                   const std::u16string& Counted, const std::u16string& Pattern) {
  ASSERT_EQ(Tarnwick::DuplicationDelete(Text), Deleted);
  ASSERT_EQ(Tarnwick::DuplicationDeleteCountDown(Text), Counted);
  ASSERT_EQ(Tarnwick::DuplicationHighlightPattern(Text), Pattern);
  std::string Bytes = TestText::ToUtf8(Text);
  ASSERT_EQ(Tarnwick::DuplicationDelete(std::string_view(Bytes)), TestText::ToUtf8(Deleted));
  ASSERT_EQ(Tarnwick::DuplicationDeleteCountDown(std::string_view(Bytes)),
            TestText::ToUtf8(Counted));
  ASSERT_EQ(Tarnwick::DuplicationHighlightPattern(std::string_view(Bytes)),
            TestText::ToUtf8(Pattern));
  Bytes.resize(Tarnwick::DuplicationDeleteInPlace(Bytes.data(), Bytes.size()));
  ASSERT_EQ(Bytes, TestText::ToUtf8(Deleted));
}

TEST(DuplicationCollisions, CommandsWithEveryHashEqualMatchTheLineByLineScan) {
  const AllHashesEqual Hook;
  std::mt19937 Rng(77);
  for (int Round = 0; Round < 1500; ++Round) {
    SCOPED_TRACE(Round);
    const std::u16string Text = LookAlikeText(Rng, 30);
    ExpectResults(Text, DuplicationReference::DuplicationDelete(Text),
                  DuplicationReference::DuplicationDeleteCountDown(Text),
                  DuplicationReference::DuplicationHighlightPattern(Text));
  }
}

TEST(DuplicationCollisions, CommandsWithEveryHashEqualMatchTheSeededHashOnLargeTexts) {
  // Large enough for the index to grow many times, each time hashing its keys again; the
  // seeded results are checked against the line-by-line scan elsewhere.
  std::mt19937 Rng(78);
  for (int Round = 0; Round < 3; ++Round) {
    SCOPED_TRACE(Round);
    std::u16string Text;
    while (Text.size() < 200000) Text += LookAlikeText(Rng, 60000);
    const std::u16string Deleted = Tarnwick::DuplicationDelete(Text);
    const std::u16string Counted = Tarnwick::DuplicationDeleteCountDown(Text);
    const std::u16string Pattern = Tarnwick::DuplicationHighlightPattern(Text);
    const AllHashesEqual Hook;
    for (const unsigned Threads : {1u, 2u}) {
      SCOPED_TRACE(Threads);
      Parallel::SetThreadCount(Threads);
      ExpectResults(Text, Deleted, Counted, Pattern);
    }
    Parallel::SetThreadCount(0);
  }
}

}  // namespace
