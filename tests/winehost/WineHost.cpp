// The Wine test host. Without arguments it runs its tests; with --show-menu MILLISECONDS it
// opens the plug-in's menu over a visible simulated editor, prints "menu-open" once the
// menu is on screen (for a screenshot) and dismisses it after that many milliseconds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/editor/EditorWindow.h"
#include "tests/winehost/PluginDll.h"
#include "tests/winehost/UserInput.h"

namespace {

void CALLBACK AnnounceMenu(HWND, UINT, UINT_PTR Timer, DWORD) {
  HWND Menu = FindWindowW(L"#32768", nullptr);
  if (!Menu || !IsWindowVisible(Menu)) return;
  KillTimer(nullptr, Timer);
  // Highlight the first item, as the user's first arrow key would.
  PostMessageW(Menu, WM_KEYDOWN, VK_DOWN, 0);
  std::printf("menu-open\n");
  std::fflush(stdout);
}

int ShowMenu(UINT HoldMs) {
  if (!WineHost::PluginDll().OnCommand) {
    std::fprintf(stderr, "Tarnwick.dll or its OnCommand export not found\n");
    return 1;
  }
  SimEditor::TEditor Editor;
  Editor.Document =
      u"みかん\r\nりんご\r\nバナナ\r\nみかん\r\nいちご\r\napple\r\nBanana\r\ncherry\r\n";
  Editor.Select({0, 0}, {0, 8});
  SimEditor::TEditorWindow Window(Editor, true);
  SetCursorPos(120, 110);
  SetTimer(nullptr, 0, 100, AnnounceMenu);
  WineHost::AnswerNextMenu(-1, HoldMs);
  WineHost::PluginDll().OnCommand(Window.Handle());
  return WineHost::AllAnswersGiven() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--show-menu") == 0) {
    return ShowMenu(static_cast<UINT>(std::atoi(argv[2])));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
