// Inputs on which the middle-pivot quicksort degrades to quadratic time: the sort must still
// finish quickly and give exactly the text the comparators give through the plain
// quicksort, also where lines that differ compare equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/LineCommands.h"
#include "support/PinnedCollation.h"
#include "tests/reference/PlainSort.h"

namespace {

std::u16string Numbered(int I) {
  std::u16string Digits = u"0000";
  for (int K = 3; K >= 0; --K, I /= 10) Digits[K] = static_cast<char16_t>(u'0' + I % 10);
  return u"line " + Digits;
}

std::u16string Join(const std::vector<std::u16string>& Bodies, std::u16string_view Break) {
  std::u16string Text;
  for (const auto& Body : Bodies) Text += Body + std::u16string(Break);
  return Text;
}

// Rising then falling: the middle line is the largest, so every pass of the middle-pivot
// quicksort splits off only a line or two.
std::vector<std::u16string> OrganPipe(int Count) {
  std::vector<std::u16string> Bodies;
  for (int I = 0; I < Count / 2; ++I) Bodies.push_back(Numbered(I));
  for (int I = Count / 2; I > 0; --I) Bodies.push_back(Numbered(I));
  return Bodies;
}

class SortAdversarial : public testing::TestWithParam<int> {
 protected:
  TPinnedCollation Collation{"en"};

  void ExpectSameAsComparators(const std::u16string& Text) {
    const auto Id = static_cast<uint8_t>(GetParam());
    EXPECT_EQ(Tarnwick::Sort(Text, Id), PlainSort::Sort(Text, Id));
  }
};

TEST_P(SortAdversarial, OrganPipeOfRepeatedLines) {
  ExpectSameAsComparators(Join(OrganPipe(3000), u"\r\n"));
}

TEST_P(SortAdversarial, OrganPipeWhereDifferentLinesCompareEqual) {
  // Each line of the falling half repeats one of the rising half, its accent written with a
  // combining mark instead of the precomposed letter: the two compare equal but differ in
  // their code units, so the order among them is the quicksort's own.
  std::vector<std::u16string> Bodies;
  for (int I = 0; I < 1000; ++I) Bodies.push_back(Numbered(I) + u" caf\u00e9");
  for (int I = 1000; I > 0; --I) Bodies.push_back(Numbered(I) + u" cafe\u0301");
  ExpectSameAsComparators(Join(Bodies, u"\n") + u"last");
}

TEST_P(SortAdversarial, SortedAndReverseSortedInputs) {
  auto Bodies = OrganPipe(3000);
  Bodies.resize(1500);
  ExpectSameAsComparators(Join(Bodies, u"\n"));
  std::vector<std::u16string> Reversed(Bodies.rbegin(), Bodies.rend());
  ExpectSameAsComparators(Join(Reversed, u"\r"));
}

TEST_P(SortAdversarial, OrganPipesBehindSharedNumbers) {
  // Each pipe's lines share their first two numbers, which differ between the pipes: the
  // numeric order moves past them inside each pipe before the work budget runs out, and the
  // sort that takes over starts again from the first numbers.
  std::vector<std::u16string> Bodies;
  for (const std::u16string Stem : {u"7 7 ", u"3 3 ", u"5 5 "}) {
    for (const auto& Body : OrganPipe(1000)) Bodies.push_back(Stem + Body);
  }
  ExpectSameAsComparators(Join(Bodies, u"\n"));
}

INSTANTIATE_TEST_SUITE_P(Commands, SortAdversarial, testing::Range(1, 9));

}  // namespace
