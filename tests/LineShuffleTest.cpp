// The shuffle straight on the text (UTF-16 and bytes) against the plain Fisher-Yates on the
// line list, on every text of up to seven units over a letter, CR and LF; and the orders it
// draws are all equally likely.
#include "commands/LineShuffle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "tests/reference/PlainSort.h"

TEST(LineShuffle, EveryShortTextGivesThePlainShuffle) {
  const char16_t Units[] = {u'a', u'b', u'\r', u'\n'};
  for (int Length = 0; Length <= 7; ++Length) {
    int Count = 1;
    for (int K = 0; K < Length; ++K) Count *= 4;
    for (int Code = 0; Code < Count; ++Code) {
      std::u16string Text;
      for (int K = 0, C = Code; K < Length; ++K, C /= 4) Text += Units[C % 4];
      const std::string Bytes(Text.begin(), Text.end());
      for (const uint64_t Seed : {uint64_t{0}, uint64_t{5}, UINT64_MAX}) {
        const std::u16string Expected = PlainSort::Shuffle(Text, Seed);
        ASSERT_EQ(LineShuffle::ShuffleLines(Text, Seed), Expected) << Code << " " << Seed;
        ASSERT_EQ(LineShuffle::ShuffleLines(Bytes, Seed),
                  std::string(Expected.begin(), Expected.end()))
            << Code << " " << Seed;
      }
    }
  }
}

TEST(LineShuffle, DrawsEveryOrderEquallyOften) {
  // 24 orders of four lines over 24000 seeds: about 1000 each; a biased or off-by-one
  // shuffle (one that never leaves a line in place, say) lands far outside 850..1150.
  std::map<std::string, int> Seen;
  for (uint64_t Seed = 0; Seed < 24000; ++Seed)
    ++Seen[LineShuffle::ShuffleLines("a\nb\nc\nd\n", Seed)];
  ASSERT_EQ(Seen.size(), 24u);
  for (const auto& [Order, Times] : Seen) {
    EXPECT_GT(Times, 850) << Order;
    EXPECT_LT(Times, 1150) << Order;
  }
}
