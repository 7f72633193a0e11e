// Every line command gives the same text whatever number of threads it runs on: one thread is
// the plain sequential run, two and eight split the work differently.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/Parallel.h"
#include "commands/LineCommands.h"
#include "support/PinnedCollation.h"

namespace {

// Texts large enough that every parallel step splits: lines of words that the collation
// orders alike or equal, numbers (often equal), repeats with other breaks.
class BigTextGenerator {
 public:
  explicit BigTextGenerator(uint32_t Seed) : FRng(Seed) {}

  std::u16string Text(int Lines, int NumberShare) {
    std::vector<std::u16string> Bodies;
    std::u16string Result;
    for (int I = 0; I < Lines; ++I) {
      if (!Bodies.empty() && Pick(3) == 0) {
        Bodies.push_back(Bodies[Pick(static_cast<int>(Bodies.size()))]);
      } else {
        std::u16string Body;
        for (int P = Pick(5); P >= 0; --P) Body += Pick(100) < NumberShare ? Number() : Word();
        Bodies.push_back(Body);
      }
      Result += Bodies.back();
      static const char16_t* const Breaks[] = {u"\r\n", u"\n", u"\n", u"\r"};
      if (I + 1 < Lines || Pick(2) == 0) Result += Breaks[Pick(4)];
    }
    return Result;
  }

 private:
  int Pick(int N) { return static_cast<int>(FRng() % static_cast<uint32_t>(N)); }

  std::u16string Word() {
    static const char16_t* const Words[] = {u"apple",
                                            u"Apple",
                                            u"apples",
                                            u"cafe\u0301",
                                            u"caf\u00e9",
                                            u"co-op",
                                            u"coop",
                                            u"ß",
                                            u"ss",
                                            u"あい",
                                            u"アイ",
                                            u"ｱｲ",
                                            u"漢字",
                                            u"日本",
                                            u" ",
                                            u"\u3000",
                                            u"2024-01-15 12:00:00 INFO request ",
                                            u"\t",
                                            u"z",
                                            u"",
                                            u"-"};
    return Words[Pick(static_cast<int>(std::size(Words)))];
  }

  std::u16string Number() {
    std::u16string Result = Pick(4) == 0 ? u"-" : u"";
    const bool Wide = Pick(5) == 0;
    // Now and then past 64 bits, which the numeric order leaves out.
    for (int D = Pick(8) == 0 ? 20 : 1 + Pick(4); D > 0; --D) {
      Result += static_cast<char16_t>((Wide ? 0xFF10 : u'0') + Pick(10));
    }
    return Result;
  }

  std::mt19937 FRng;
};

// Rising then falling numbered lines, the falling half spelled with a combining accent so
// that lines that differ compare equal: the middle pivot degrades and the text cannot tell the
// quicksort's order from another's. Twice over: the middle line is the smallest of the second
// pipe and every line of the first lies below it, so the first pass leaves both pipes as they
// are and the work budget runs out while the two are sorted side by side.
std::u16string TwoOrganPipes(int Half) {
  auto Line = [](int Number, bool Combining) {
    std::u16string Digits = u"00000";
    for (int K = 4; K >= 0; --K, Number /= 10)
      Digits[K] = static_cast<char16_t>(u'0' + Number % 10);
    return u"line " + Digits + (Combining ? u" cafe\u0301\n" : u" caf\u00e9\n");
  };
  auto Pipe = [&Line](int From, int Count, std::u16string& Text) {
    for (int I = 0; I < Count / 2; ++I) Text += Line(From + I, false);
    for (int I = Count / 2; I > 0; --I) Text += Line(From + I, true);
  };
  std::u16string Text;
  Pipe(0, Half, Text);
  Text += Line(50000, false);
  Pipe(50001, Half, Text);
  return Text;
}

class ThreadCountDifferential : public testing::Test {
 protected:
  void TearDown() override { Parallel::SetThreadCount(0); }

  TPinnedCollation Collation{"ja"};

  // Runs all twelve commands on Text with 1, 2 and 8 threads.
  static void ExpectSameForAnyThreadCount(const std::u16string& Text) {
    std::vector<std::u16string> Single;
    for (unsigned Threads : {1u, 2u, 8u}) {
      Parallel::SetThreadCount(Threads);
      std::vector<std::u16string> Results;
      for (uint8_t Id = 1; Id <= 9; ++Id) Results.push_back(Tarnwick::Sort(Text, Id));
      Results.push_back(Tarnwick::Sort(std::u16string(Text), 1));
      Results.push_back(Tarnwick::DuplicationDelete(Text));
      Results.push_back(Tarnwick::DuplicationDeleteCountDown(Text));
      Results.push_back(Tarnwick::DuplicationHighlightPattern(Text));
      if (Threads == 1) {
        Single = std::move(Results);
        continue;
      }
      for (size_t K = 0; K < Results.size(); ++K) {
        // Not ASSERT_EQ on the texts: a mismatch would print megabytes.
        ASSERT_TRUE(Results[K] == Single[K])
            << "command #" << K + 1 << ", " << Threads << " threads";
      }
    }
  }
};

TEST_F(ThreadCountDifferential, RandomTextsGiveTheSameResultOnOneTwoAndEightThreads) {
  BigTextGenerator Generator(2026);
  ExpectSameForAnyThreadCount(Generator.Text(30000, 10));
  ExpectSameForAnyThreadCount(Generator.Text(20000, 60));
  ExpectSameForAnyThreadCount(Generator.Text(9000, 95));
}

TEST_F(ThreadCountDifferential, NumericSortOfLinesThatTieOnTheirNumbers) {
  // Every line has a number, and hundreds share each: the numeric order makes the collation
  // keys of the tied lines as the threads compare them, often the same line's on two at once.
  std::mt19937 Rng(5);
  static const char16_t* const Words[] = {u"apple", u"Apple", u"caf\u00e9", u"cafe\u0301",
                                          u"あい",  u"アイ",  u" ",         u""};
  std::u16string Text;
  for (int I = 0; I < 40000; ++I) {
    Text += std::u16string(u"item ") + static_cast<char16_t>(u'0' + Rng() % 10) + u" " +
            Words[Rng() % 8] + Words[Rng() % 8] + u"\n";
  }
  ExpectSameForAnyThreadCount(Text);
}

TEST_F(ThreadCountDifferential, SmallTextsGiveTheSameResultOnOneTwoAndEightThreads) {
  BigTextGenerator Generator(7);
  for (int Lines : {0, 1, 2, 3, 100}) ExpectSameForAnyThreadCount(Generator.Text(Lines, 30));
}

TEST_F(ThreadCountDifferential, WorkBudgetRunningOutInBothHalvesGivesTheSameResult) {
  ExpectSameForAnyThreadCount(TwoOrganPipes(3000));
}

}  // namespace
