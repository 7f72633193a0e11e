#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "commands/LineCommands.h"

namespace {

struct PatternCase {
  std::u16string Text;
  std::u16string Expected;
};

class DuplicationHighlightPattern : public testing::TestWithParam<PatternCase> {};

TEST_P(DuplicationHighlightPattern, HasOneAlternativePerRepeatedLineInTextOrder) {
  EXPECT_EQ(Tarnwick::DuplicationHighlightPattern(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DuplicationHighlightPattern,
    testing::Values(
        PatternCase{u"", u""}, PatternCase{u"a\r\nb\r\nc\r\n", u""},
        PatternCase{u"a\r\nb\r\na\r\n", u"^\\Qa\\E$"},
        PatternCase{u"a\r\na\r\na\r\n", u"^\\Qa\\E$|^\\Qa\\E$"},
        PatternCase{u"b\r\na\r\nb\r\na\r\n", u"^\\Qb\\E$|^\\Qa\\E$"},
        // Empty lines never count, whatever their breaks.
        PatternCase{u"\r\n\r\n\n\n\r\r", u""}, PatternCase{u"a\r\n\r\na\r\n\r\n", u"^\\Qa\\E$"},
        // Lines are compared whole: break, case and a missing final break all count.
        PatternCase{u"a\r\na\n", u""}, PatternCase{u"a\r\nb\r\na", u""},
        PatternCase{u"A\r\na\r\n", u""}, PatternCase{u"a\ra\r", u"^\\Qa\\E$"},
        // Other expression characters stand unchanged inside the quote.
        PatternCase{u"a.b|c*\r\na.b|c*\r\n", u"^\\Qa.b|c*\\E$"},
        PatternCase{u"a\\\na\\\n", u"^\\Qa\\\\E$"},
        // A backslash-E would close the quote early, so each one is closed, escaped, reopened.
        PatternCase{u"x\\Ey\r\nx\\Ey\r\n", u"^\\Qx\\E\\\\E\\Qy\\E$"},
        PatternCase{u"\\E\\E\n\\E\\E\n", u"^\\Q\\E\\\\E\\Q\\E\\\\E\\Q\\E$"}));

// The literal text one "^...$" alternative matches, read the way \Q...\E quoting is read: a
// quote runs to the first backslash-E; outside it a backslash escapes the next character.
// Empty when the alternative is not a plain literal between anchors.
std::optional<std::u16string> LiteralOf(std::u16string_view Alternative) {
  if (Alternative.size() < 2 || Alternative.front() != u'^' || Alternative.back() != u'$') {
    return std::nullopt;
  }
  const std::u16string_view Body = Alternative.substr(1, Alternative.size() - 2);
  std::u16string Literal;
  size_t I = 0;
  while (I < Body.size()) {
    if (Body.substr(I, 2) == u"\\Q") {
      const size_t End = Body.find(u"\\E", I + 2);
      if (End == std::u16string_view::npos) return std::nullopt;
      Literal.append(Body.substr(I + 2, End - I - 2));
      I = End + 2;
    } else if (Body[I] == u'\\' && I + 1 < Body.size() && Body[I + 1] == u'\\') {
      Literal += u'\\';
      I += 2;
    } else if (Body[I] == u'\\' || Body[I] == u'|' || Body[I] == u'.') {
      return std::nullopt;  // Anything else special would not be a plain literal.
    } else {
      Literal += Body[I++];
    }
  }
  return Literal;
}

TEST(DuplicationHighlightQuoting, EveryAlternativeMatchesExactlyItsLine) {
  // Bodies made of backslashes, E and Q are the ones that can break a quote.
  std::mt19937 Rng(7);
  const char16_t Alphabet[] = {u'\\', u'E', u'Q', u'a'};
  for (int Round = 0; Round < 3000; ++Round) {
    std::u16string Body;
    for (int I = static_cast<int>(Rng() % 12) + 1; I > 0; --I) Body += Alphabet[Rng() % 4];
    const std::u16string Line = Body + u"\n";
    ASSERT_EQ(LiteralOf(Tarnwick::DuplicationHighlightPattern(Line + Line)), Body);
  }
}

}  // namespace
