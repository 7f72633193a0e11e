// The --mark view of highlight: it marks exactly the lines the editor's pattern matches.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cli/Marking.h"
#include "commands/LineCommands.h"

namespace {

struct MarkCase {
  const char* Label;
  std::u16string Text;
  std::vector<bool> Marked;
};

class MarkedLines : public testing::TestWithParam<MarkCase> {};

TEST_P(MarkedLines, MarksEveryLineWithARepeatedBody) {
  EXPECT_EQ(Marking::MarkedLines(GetParam().Text), GetParam().Marked);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MarkedLines,
    testing::Values(MarkCase{"NoRepeat", u"a\nb\n", {false, false}},
                    MarkCase{"FirstOccurrenceToo", u"a\nb\na\n", {true, false, true}},
                    MarkCase{"OtherBreakOnlyWithAnExactRepeat", u"a\r\na\n", {false, false}},
                    MarkCase{"CopyWithOtherBreak", u"a\r\na\na\n", {true, true, true}},
                    MarkCase{"MissingFinalBreakIsNoRepeat", u"a\nb\na", {false, false, false}},
                    MarkCase{"EmptyLinesNever", u"\n\r\n\n", {false, false, false}},
                    MarkCase{"CaseCounts", u"A\na\n", {false, false}}),
    [](const testing::TestParamInfo<MarkCase>& info) { return info.param.Label; });

TEST(MarkText, WrapsBodiesAndLeavesBreaksInPlace) {
  EXPECT_EQ(Marking::MarkText(u"a\r\nb\ra\r\n", u"<", u">", u""), u"<a>\r\nb\r<a>\r\n");
  EXPECT_EQ(Marking::MarkText(u"x\nx", u"* ", u"", u"  "), u"  x\n  x");
}

// The bodies the pattern names, read back from "^\Q" body "\E$" alternatives joined by "|"
// (the random texts hold no backslash, so no body is split).
std::set<std::u16string> PatternBodies(const std::u16string& Pattern) {
  std::set<std::u16string> bodies;
  const std::u16string open = u"^\\Q", close = u"\\E$";
  for (size_t at = 0; at < Pattern.size();) {
    const size_t end = Pattern.find(close, at);
    bodies.insert(Pattern.substr(at + open.size(), end - at - open.size()));
    at = end + close.size() + 1;
  }
  return bodies;
}

TEST(MarkedLines, AgreesWithTheHighlightPatternOnRandomTexts) {
  std::mt19937 random(20261207);
  const std::u16string pieces[] = {u"a", u"b", u"A", u" ", u"\r", u"\n", u"\r\n", u"\n"};
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    const int length = random() % 24;
    for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
    const std::set<std::u16string> bodies =
        PatternBodies(Tarnwick::DuplicationHighlightPattern(text));
    // A line is marked exactly when the pattern names its body.
    std::vector<std::u16string> lineBodies;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != u'\r' && text[i] != u'\n') continue;
      lineBodies.push_back(text.substr(start, i - start));
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
    if (start < text.size()) lineBodies.push_back(text.substr(start));
    const std::vector<bool> flags = Marking::MarkedLines(text);
    ASSERT_EQ(flags.size(), lineBodies.size()) << "round " << round;
    for (size_t i = 0; i < flags.size(); ++i)
      EXPECT_EQ(flags[i], bodies.contains(lineBodies[i])) << "round " << round << " line " << i;
  }
}

}  // namespace
