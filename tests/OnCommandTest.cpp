#include <gtest/gtest.h>

#include <string>

#include "commands/LineCommands.h"
#include "platform/linux/User32.h"
#include "plugin/CommandMenu.h"
#include "plugin/EntryPoints.h"
#include "plugin/PluginLibrary.h"
#include "tests/editor/EditorFixture.h"

using namespace plugin;
using PluginLibrary::SamePos;
using SimEditor::EditorFixture;

namespace {

class OnCommandTest : public EditorFixture {
 protected:
  void SetUp() override {
    standin::ResetUser32();
    Editor.Scroll = {0, 1};
  }
  // The menu answers Id; remembers whether the editor was repainting while it was open.
  void Choose(BOOL Id) {
    standin::SetMenuChooser([this, Id](const standin::TrackedMenu&) {
      RedrawWhileMenuOpen = Editor.Redraw;
      return Id;
    });
  }
  int Count(UINT Message) const { return static_cast<int>(Editor.WParamsOf(Message).size()); }

  bool RedrawWhileMenuOpen = true;
};

// The result of each writing command stands where the selected lines stood; the lines outside
// the selection and the text's missing final break stay as they were.
class WritingCommand : public OnCommandTest, public ::testing::WithParamInterface<int> {
 protected:
  static std::u16string Expected(int Id, const std::u16string& Lines) {
    if (Id <= 9) return Tarnwick::Sort(Lines, static_cast<uint8_t>(Id));
    if (Id == 10) return Tarnwick::DuplicationDelete(Lines);
    return Tarnwick::DuplicationDeleteCountDown(Lines);
  }
};

TEST_P(WritingCommand, ReplacesTheSelectedWholeLines) {
  const int Id = GetParam();
  const std::u16string Before = u"head\r\n", Lines = u"b 10\r\na 9\nb 10\ra 200\r\n",
                       After = u"tail";
  Open(Before + Lines + After);
  Editor.Select({2, 1}, {1, 4});  // from inside line 1 into line 4
  Choose(Id);

  Tarnwick::OnCommand(Window());

  EXPECT_EQ(Editor.Document, Before + Expected(Id, Lines) + After);
  EXPECT_EQ(Count(HM_RUN_COMMAND), 0);
  EXPECT_TRUE(standin::MessageBoxCalls().empty());
}

TEST_P(WritingCommand, WholeDocumentWhenNothingIsSelected) {
  const int Id = GetParam();
  const std::u16string Text = u"b\r\na\r\nb\nc";
  Open(Text);
  Editor.Select({1, 2}, {1, 2});
  Choose(Id);

  Tarnwick::OnCommand(Window());

  EXPECT_EQ(Editor.Document, Expected(Id, Text));
  EXPECT_EQ(Editor.WParamsOf(HM_RUN_COMMAND), (std::vector<WPARAM>{4136, 4187}));
  EXPECT_TRUE(SamePos(Editor.Caret, {1, 2})) << "caret back at the same column and line";
  EXPECT_TRUE(SamePos(Editor.Anchor, {1, 2}));
}

INSTANTIATE_TEST_SUITE_P(Commands1To11, WritingCommand, ::testing::Range(1, 12));

TEST_F(OnCommandTest, SortsSelectedLinesAscending) {
  Open(u"keep\r\ncherry\r\napple\nbanana\r\nkeep too");
  Editor.Select({3, 1}, {0, 4});
  Choose(1);
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, u"keep\r\napple\nbanana\r\ncherry\r\nkeep too");
}

TEST_F(OnCommandTest, SelectionIntoLastLineKeepsItsMissingBreak) {
  Open(u"x\r\nb\r\na");
  Editor.Select({1, 2}, {0, 1});  // made upwards, ending inside the last line
  Choose(1);
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, u"x\r\na\r\nb");
}

TEST_F(OnCommandTest, SortAndReversalWriteOnlyTheBreaksTheDocumentUses) {
  // A last line without a break moves up with the break of the line before it: an LF or CR
  // document gains no CR LF.
  for (int Id : {1, 2, 5, 9}) {
    Open(u"charlie\nalpha 2\nbravo 1");
    Editor.Select({0, 0}, {0, 0});
    Choose(Id);
    Tarnwick::OnCommand(Window());
    EXPECT_EQ(Editor.Document.find(u'\r'), std::u16string::npos) << "command " << Id;
    Open(u"b\ra\rc");
    Editor.Select({0, 0}, {0, 0});
    Tarnwick::OnCommand(Window());
    EXPECT_EQ(Editor.Document.find(u'\n'), std::u16string::npos) << "command " << Id;
  }
}

TEST_F(OnCommandTest, HighlightLeavesDocumentAndSendsPatternOfSelectedLines) {
  const std::u16string Text = u"a\r\nb\r\na\r\nb\r\nz";
  Open(Text);
  Editor.Select({0, 0}, {1, 3});
  Choose(12);

  Tarnwick::OnCommand(Window());

  EXPECT_EQ(Editor.Document, Text);
  EXPECT_EQ(Editor.Highlight, Tarnwick::DuplicationHighlightPattern(u"a\r\nb\r\na\r\nb\r\n"));
  EXPECT_EQ(Editor.HighlightBits, 289u);
  EXPECT_EQ(Count(HM_REPLACE_SEL), 0);
  EXPECT_EQ(Editor.SelectedText(), u"a\r\nb\r\na\r\nb\r\n") << "whole lines stay selected";
}

TEST_F(OnCommandTest, HighlightOfWholeDocumentRestoresCaret) {
  const std::u16string Text = u"a\r\na\r\n";
  Open(Text);
  Editor.Select({1, 1}, {1, 1});
  Choose(12);
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, Text);
  EXPECT_EQ(Editor.Highlight, u"^\\Qa\\E$");
  EXPECT_EQ(Editor.WParamsOf(HM_RUN_COMMAND), (std::vector<WPARAM>{4136, 4187}));
  EXPECT_TRUE(SamePos(Editor.Caret, {1, 1}));
}

TEST_F(OnCommandTest, RunsStepsInOrderWithRepaintingOffThroughout) {
  Open(u"b\r\na\r\n");
  Editor.Select({0, 0}, {0, 2});
  Choose(1);

  Tarnwick::OnCommand(Window());

  const std::vector<UINT> Messages = Editor.Messages();
  ASSERT_GE(Messages.size(), 6u);
  EXPECT_EQ(
      (std::vector<UINT>(Messages.begin(), Messages.begin() + 4)),
      (std::vector<UINT>{HM_SET_REDRAW, HM_GET_SEL_START, HM_GET_SCROLL_POS, HM_QUERY_SELECTION}));
  EXPECT_EQ(Editor.Log[1].WParam, 2u) << "selection start read as a text position";
  EXPECT_EQ(Messages[Messages.size() - 2], HM_SET_SCROLL_POS);
  EXPECT_EQ(Messages.back(), HM_SET_REDRAW);
  EXPECT_EQ(Editor.WParamsOf(HM_SET_REDRAW), (std::vector<WPARAM>{0, 1}));
  EXPECT_FALSE(RedrawWhileMenuOpen);
  EXPECT_TRUE(Editor.Redraw);
  EXPECT_TRUE(SamePos(Editor.Scroll, {0, 1})) << "scroll position set back";
}

TEST_F(OnCommandTest, ShowsTheMenuAtTheCursorAndDestroysIt) {
  Open(u"a\r\n");
  standin::SetCursorPosition({120, 45});
  Choose(0);

  Tarnwick::OnCommand(Window());

  ASSERT_EQ(standin::TrackedMenus().size(), 1u);
  const standin::TrackedMenu& Menu = standin::TrackedMenus()[0];
  EXPECT_EQ(Menu.Flags, 0x100u);
  EXPECT_EQ(Menu.X, 120);
  EXPECT_EQ(Menu.Y, 45);
  EXPECT_EQ(Menu.Owner, Window());
  EXPECT_FALSE(Menu.HadRect);
  EXPECT_EQ(standin::LiveMenuCount(), 0);

  const std::vector<std::pair<UINT_PTR, std::u16string>> Items{
      {1, u"昇順に並び替える(辞書順)"},
      {2, u"降順に並び替える(辞書順)"},
      {0, u""},
      {3, u"昇順に並び替える(後ろ読み辞書順)"},
      {4, u"降順に並び替える(後ろ読み辞書順)"},
      {0, u""},
      {5, u"昇順に並び替える(整数比較)"},
      {6, u"降順に並び替える(整数比較)"},
      {0, u""},
      {7, u"昇順に並び替える(文字列長)"},
      {8, u"降順に並び替える(文字列長)"},
      {0, u""},
      {9, u"逆順に並び替える"},
      {0, u""},
      {10, u"重複した行を削除する"},
      {11, u"重複数を表示して並び替える"},
      {12, u"重複した行をハイライトする"},
      {0, u""},
      {0, u"キャンセル"},
  };
  ASSERT_EQ(Menu.Items.size(), Items.size());
  for (size_t I = 0; I < Items.size(); ++I) {
    const bool Separator = I + 1 < Items.size() && Items[I].second.empty();
    EXPECT_EQ(Menu.Items[I].Flags, Separator ? 0x800u : 0u) << I;
    EXPECT_EQ(Menu.Items[I].Id, Items[I].first) << I;
    EXPECT_EQ(Menu.Items[I].Text, Items[I].second) << I;
    EXPECT_FALSE(Menu.Items[I].TextWasNull) << I;
  }
}

class CancelledMenu : public OnCommandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelledMenu, ChangesNothingButScrollAndRepaint) {
  const bool WholeDocument = GetParam();
  Open(u"b\r\na\r\nc");
  if (WholeDocument) {
    Editor.Select({1, 1}, {1, 1});
  } else {
    Editor.Select({1, 1}, {0, 0});
  }
  const HostPos Anchor = Editor.Anchor, Caret = Editor.Caret;
  Choose(0);

  Tarnwick::OnCommand(Window());

  EXPECT_EQ(Editor.Document, u"b\r\na\r\nc");
  EXPECT_TRUE(SamePos(Editor.Anchor, Anchor));
  EXPECT_TRUE(SamePos(Editor.Caret, Caret));
  EXPECT_EQ(Editor.Messages(),
            (std::vector<UINT>{HM_SET_REDRAW, HM_GET_SEL_START, HM_GET_SCROLL_POS,
                               HM_QUERY_SELECTION, HM_SET_SCROLL_POS, HM_SET_REDRAW}));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSelection, CancelledMenu, ::testing::Bool());

TEST_F(OnCommandTest, MenuThatCannotBeBuiltActsAsCancel) {
  Open(u"b\r\na\r\n");
  Editor.Select({0, 0}, {0, 2});
  standin::SetMenuCreationFails(true);
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, u"b\r\na\r\n");
  EXPECT_EQ(Count(HM_GET_SEL_TEXT), 0);
  EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
}

TEST_F(OnCommandTest, IdentifierOutsideTheMenuActsAsCancel) {
  Open(u"b\r\na\r\n");
  Editor.Select({0, 0}, {0, 2});
  Choose(13);
  Tarnwick::OnCommand(Window());
  EXPECT_EQ(Editor.Document, u"b\r\na\r\n");
  EXPECT_EQ(Count(HM_GET_SEL_TEXT), 0);
}

// Text holding a NUL reaches the plug-in cut short; the command must fail instead of writing
// the shortened lines over the whole selection.
class FailingCommand : public OnCommandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FailingCommand, LeavesDocumentUnchangedAndTellsTheUser) {
  const bool WholeDocument = GetParam();
  const std::u16string Text(u"b\r\na\0hidden\r\nc\r\n", 16);
  Open(Text);
  if (WholeDocument) {
    Editor.Select({0, 1}, {0, 1});
  } else {
    Editor.Select({0, 0}, {1, 2});
  }
  Choose(1);

  Tarnwick::OnCommand(Window());

  EXPECT_EQ(Editor.Document, Text);
  EXPECT_EQ(Count(HM_REPLACE_SEL), 0);
  EXPECT_EQ(Count(HM_SET_SCROLL_POS), 0);
  EXPECT_EQ(Editor.WParamsOf(HM_RUN_COMMAND),
            WholeDocument ? std::vector<WPARAM>{4136} : std::vector<WPARAM>{});
  EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
  EXPECT_EQ(Editor.WParamsOf(HM_SET_REDRAW), (std::vector<WPARAM>{0, 1}));
  ASSERT_EQ(standin::MessageBoxCalls().size(), 1u);
  const auto& Box = standin::MessageBoxCalls()[0];
  EXPECT_EQ(Box.Owner, Window());
  EXPECT_EQ(Box.Caption, u"Tarnwick");
  EXPECT_EQ(Box.Type, 0x10u);
  EXPECT_NE(Box.Text.find(u"NUL"), std::u16string::npos) << "the exception's message";
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSelection, FailingCommand, ::testing::Bool());

}  // namespace
