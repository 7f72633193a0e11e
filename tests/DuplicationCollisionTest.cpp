// Lines built so that their hashes collide under one seed: under that seed the table's probes
// grow with the square of the lines; under the seed each table draws for itself they stay
// about one per line, so no prepared file can make the duplicate commands quadratic.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

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

}  // namespace
