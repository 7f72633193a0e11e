// The entry points called through the DLL's exports against the simulated editor's real
// window, with the real pop-up menu and message boxes answered from the keyboard.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "commands/LineCommands.h"
#include "plugin/plugin.h"
#include "tests/editor/EditorWindow.h"
#include "tests/winehost/PluginDll.h"
#include "tests/winehost/UserInput.h"

using namespace plugin;
using WineHost::PluginDll;

namespace {

class DllCommand : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(PluginDll().OnCommand, nullptr); }
  HWND Window() const { return FWindow.Handle(); }
  // Runs OnCommand through the export, the menu answered with Downs presses of Down (or
  // Escape for a negative count).
  void RunChoosing(int Downs) {
    WineHost::AnswerNextMenu(Downs);
    PluginDll().OnCommand(Window());
    EXPECT_TRUE(WineHost::AllAnswersGiven()) << "the menu never opened";
  }

  SimEditor::TEditor Editor;

 private:
  SimEditor::TEditorWindow FWindow{Editor};
};

// The selectable items in menu order are commands 1 to 12, then Cancel.
class DllMenuCommand : public DllCommand, public ::testing::WithParamInterface<int> {};

TEST_P(DllMenuCommand, RunsTheChosenCommandOnTheSelectedLines) {
  const int Id = GetParam();
  const std::u16string Before = u"head\r\n", Lines = u"b 10\r\na 9\nb 10\ra 200\r\n", After = u"z";
  Editor.Document = Before + Lines + After;
  Editor.Select({2, 1}, {1, 4});

  RunChoosing(Id);

  std::u16string Expected = Lines;
  if (Id <= 9) Expected = Tarnwick::Sort(Lines, static_cast<uint8_t>(Id));
  if (Id == 10) Expected = Tarnwick::DuplicationDelete(Lines);
  if (Id == 11) Expected = Tarnwick::DuplicationDeleteCountDown(Lines);
  EXPECT_EQ(Editor.Document, Before + Expected + After);
  if (Id == 12) {
    EXPECT_EQ(Editor.Highlight, Tarnwick::DuplicationHighlightPattern(Lines));
  }
  EXPECT_EQ(Editor.WParamsOf(HM_SET_REDRAW), (std::vector<WPARAM>{0, 1}));
  EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
}

INSTANTIATE_TEST_SUITE_P(Commands1To12, DllMenuCommand, ::testing::Range(1, 13));

TEST_F(DllCommand, CancelAndEscapeLeaveTheDocument) {
  Editor.Document = u"b\r\na\r\n";
  for (int Downs : {13, -1}) {
    Editor.Log.clear();
    RunChoosing(Downs);
    EXPECT_EQ(Editor.Document, u"b\r\na\r\n");
    EXPECT_EQ(Editor.Messages(),
              (std::vector<UINT>{HM_SET_REDRAW, HM_GET_SEL_START, HM_GET_SCROLL_POS,
                                 HM_QUERY_SELECTION, HM_SET_SCROLL_POS, HM_SET_REDRAW}));
  }
}

TEST_F(DllCommand, SortsWholeDocumentWhenNothingIsSelected) {
  Editor.Document = u"b\r\nc\r\na";
  Editor.Select({1, 1}, {1, 1});
  RunChoosing(1);
  EXPECT_EQ(Editor.Document, u"a\r\nb\r\nc");
  EXPECT_EQ(Editor.WParamsOf(HM_RUN_COMMAND), (std::vector<WPARAM>{4136, 4187}));
  EXPECT_EQ(Editor.Caret.Column, 1);
  EXPECT_EQ(Editor.Caret.Line, 1);
}

TEST_F(DllCommand, FailureIsShownAndNothingWrittenBack) {
  const std::u16string Text(u"b\r\na\0x\r\n", 8);
  Editor.Document = Text;
  Editor.Select({0, 0}, {0, 2});
  WineHost::AnswerNextMenu(1);
  WineHost::AnswerNextMessageBox(IDOK);
  PluginDll().OnCommand(Window());
  EXPECT_TRUE(WineHost::AllAnswersGiven());
  EXPECT_EQ(Editor.Document, Text);
  EXPECT_EQ(Editor.Messages().back(), HM_SET_REDRAW);
  EXPECT_EQ(WineHost::LastBoxCaption(), L"Tarnwick");
  EXPECT_NE(WineHost::LastBoxText().find(L"NUL"), std::wstring::npos);
}

TEST_F(DllCommand, AnswersTheEditorsQuestions) {
  const auto& Dll = PluginDll();
  Editor.CommandStatus = 1;
  Editor.Checked = TRUE;
  BOOL Checked = FALSE;
  EXPECT_EQ(Dll.QueryStatus(Window(), &Checked), -1);
  EXPECT_EQ(Checked, TRUE);

  Dll.OnEvents(Window(), 0x400, 77);
  Dll.OnEvents(Window(), 0x40, 0);
  EXPECT_EQ(Editor.WParamsOf(HM_REFRESH_COMMAND), (std::vector<WPARAM>{77}));

  char Name[4];
  EXPECT_EQ(Dll.PlugInProc(Window(), 2306, sizeof Name, reinterpret_cast<LPARAM>(Name)), 8);
  EXPECT_STREQ(Name, "Tar");
  char Version[32];
  EXPECT_EQ(Dll.PlugInProc(Window(), 2308, sizeof Version, reinterpret_cast<LPARAM>(Version)), 13);
  EXPECT_STREQ(Version, "Version 1.5.0");
  EXPECT_EQ(Dll.PlugInProc(Window(), 2310, 0, 0), 1);
  EXPECT_EQ(Dll.PlugInProc(Window(), 2305, 0, 0), 0);
}

TEST_F(DllCommand, UninstallFollowsTheUsersAnswer) {
  for (auto [Answer, Expected] : {std::pair{IDYES, 1}, {IDNO, 0}}) {
    WineHost::AnswerNextMessageBox(Answer);
    EXPECT_EQ(PluginDll().PlugInProc(Window(), 2311, 0, 0), Expected);
    EXPECT_TRUE(WineHost::AllAnswersGiven());
    EXPECT_EQ(WineHost::LastBoxCaption(), L"Tarnwick");
    EXPECT_EQ(WineHost::LastBoxText(), L"アンインストールしますか？");
  }
}

}  // namespace
