#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/Exceptions.h"
#include "plugin/PluginLibrary.h"
#include "tests/editor/EditorFixture.h"

using namespace PluginLibrary;
using plugin::HM_GET_SEL_TEXT;
using plugin::HM_REPLACE_SEL;
using plugin::HM_SET_CARET_POS;
using plugin::HM_SET_SEL;
using SimEditor::EditorFixture;

namespace {

struct WholeLinesCase {
  const char* Name;
  HostPos Anchor;
  HostPos Caret;
  const char16_t* Expected;
};

// The document is EditorFixture::MixedDocument: zero CRLF, one LF, two CR, three CRLF, four LF,
// five (no break).
const WholeLinesCase WholeLinesCases[] = {
    {"MiddleToMiddleTakesBothLinesWithBreaks", {1, 2}, {2, 4}, u"two\rthree\r\nfour\n"},
    {"EndAtColumnZeroKeepsThatLineOut", {2, 2}, {0, 4}, u"two\rthree\r\n"},
    {"InsideOneLineTakesItsBreak", {1, 1}, {3, 1}, u"one\n"},
    {"IntoLastLineEndsAtDocumentEnd", {2, 4}, {2, 5}, u"four\nfive"},
    {"InsideLastLineTakesIt", {1, 5}, {3, 5}, u"five"},
    {"EmptySelectionTakesItsLine", {2, 3}, {2, 3}, u"three\r\n"},
    {"EmptySelectionInLastLine", {4, 5}, {4, 5}, u"five"},
    {"WholeDocumentStays", {0, 0}, {4, 5}, SimEditor::EditorFixture::MixedDocument},
    {"SecondLineFromColumnZeroToZero", {0, 1}, {0, 2}, u"one\n"},
};

// Each case with no wrapping and with a wrap width that makes display positions differ from
// text positions; each selection made downwards and upwards.
class SelectWholeLinesTest
    : public EditorFixture,
      public ::testing::WithParamInterface<std::tuple<WholeLinesCase, int32_t, bool>> {};

TEST_P(SelectWholeLinesTest, SelectsWholeLinesAndKeepsCaretEnd) {
  const auto& [Case, Wrap, Upwards] = GetParam();
  Open(MixedDocument);
  Editor.WrapWidth = Wrap;
  if (Upwards) {
    Editor.Select(Case.Caret, Case.Anchor);
  } else {
    Editor.Select(Case.Anchor, Case.Caret);
  }
  const bool WasEmpty = SamePos(Case.Anchor, Case.Caret);

  SelectWholeLines(Window());

  EXPECT_EQ(Editor.SelectedText(), Case.Expected);
  EXPECT_EQ(Editor.Document, MixedDocument);
  const HostPos CaretShouldBe = (Upwards || WasEmpty) ? Editor.SelStart() : Editor.SelEnd();
  EXPECT_TRUE(SamePos(Editor.Caret, CaretShouldBe))
      << "caret at " << Editor.Caret.Column << "," << Editor.Caret.Line;
}

INSTANTIATE_TEST_SUITE_P(Selections, SelectWholeLinesTest,
                         ::testing::Combine(::testing::ValuesIn(WholeLinesCases),
                                            ::testing::Values(0, 3), ::testing::Bool()),
                         [](const auto& Info) {
                           return std::string(std::get<0>(Info.param).Name) + "_Wrap" +
                                  std::to_string(std::get<1>(Info.param)) +
                                  (std::get<2>(Info.param) ? "_Upwards" : "_Downwards");
                         });

class SelectionAccess : public EditorFixture {};

TEST_F(SelectionAccess, ReadsTheSelectedTextWithBreaksAsTheyAre) {
  Open(MixedDocument);
  Editor.Select({2, 0}, {2, 3});
  EXPECT_EQ(ReadSelectedText(Window()), u"ro\r\none\ntwo\rth");
  EXPECT_EQ(Editor.WParamsOf(HM_GET_SEL_TEXT), (std::vector<WPARAM>{0, 15}));
}

TEST_F(SelectionAccess, ReadsNothingSelectedAsEmptyText) {
  Open(MixedDocument);
  Editor.Select({1, 1}, {1, 1});
  EXPECT_EQ(ReadSelectedText(Window()), u"");
}

TEST_F(SelectionAccess, RefusesSelectedTextCutShortByNul) {
  Open(std::u16string(u"b\r\na\0tail\r\nc\r\n", 13));
  Editor.Select({0, 0}, {0, 2});
  EXPECT_THROW(ReadSelectedText(Window()), SysUtils::Exception);
}

TEST_F(SelectionAccess, RefusesTextFromHostThatCopiesLessThanItAnnounced) {
  Open(u"b\r\na\r\n");
  Editor.Select({0, 0}, {0, 2});
  Editor.CopiesShortBy = 1;
  EXPECT_THROW(ReadSelectedText(Window()), SysUtils::Exception);
  EXPECT_THROW(ReadLineText(Window(), 0), SysUtils::Exception);
}

TEST_F(SelectionAccess, ReadsOneLineWithoutItsBreak) {
  Open(MixedDocument);
  EXPECT_EQ(ReadLineText(Window(), 3), u"three");
  EXPECT_EQ(ReadLineText(Window(), 5), u"five");
}

TEST_F(SelectionAccess, LastLineWithNulIsNotSelectedHalfway) {
  // Selecting up to the NUL only would leave the rest of the line glued to the result.
  Open(std::u16string(u"b\r\nx\0y", 6));
  Editor.Select({0, 0}, {1, 1});
  EXPECT_THROW(SelectWholeLines(Window()), SysUtils::Exception);
}

TEST_F(SelectionAccess, EmptyReplacementDeletesTheSelectedLines) {
  Open(MixedDocument);
  Editor.Select({0, 1}, {0, 3});
  ReplaceSelection(Window(), u"");
  EXPECT_EQ(Editor.Document, u"zero\r\nthree\r\nfour\nfive");
  ASSERT_EQ(Editor.Messages(), (std::vector<UINT>{HM_REPLACE_SEL}));
}

TEST_F(SelectionAccess, CaretAtEndOnlyWhenNotAtStart) {
  Open(MixedDocument);
  Editor.Select({1, 1}, {1, 1});
  EXPECT_FALSE(IsCaretAtSelEnd(Window()));
  Editor.Select({1, 1}, {2, 2});
  EXPECT_TRUE(IsCaretAtSelEnd(Window()));
  Editor.Select({2, 2}, {1, 1});
  EXPECT_FALSE(IsCaretAtSelEnd(Window()));
}

TEST_F(SelectionAccess, RangeOfEqualEndsOnlyPlacesTheCaret) {
  Open(MixedDocument);
  SelectRange(Window(), {2, 1}, {2, 1});
  EXPECT_EQ(Editor.Messages(), (std::vector<UINT>{HM_SET_CARET_POS}));
  EXPECT_TRUE(SamePos(Editor.Caret, {2, 1}));
  ClearLog();
  SelectRange(Window(), {3, 2}, {1, 0});
  EXPECT_EQ(Editor.Messages(), (std::vector<UINT>{HM_SET_SEL}));
  EXPECT_TRUE(SamePos(Editor.Anchor, {3, 2}));
  EXPECT_TRUE(SamePos(Editor.Caret, {1, 0}));
}

TEST_F(SelectionAccess, RestoresCaretToEitherEnd) {
  Open(MixedDocument);
  Editor.Select({1, 1}, {2, 2});
  RestoreCaretEnd(Window(), false);
  EXPECT_TRUE(SamePos(Editor.Caret, {1, 1}));
  EXPECT_TRUE(SamePos(Editor.Anchor, {2, 2}));
  RestoreCaretEnd(Window(), true);
  EXPECT_TRUE(SamePos(Editor.Caret, {2, 2}));
}

}  // namespace
