// Stand-in controls for the user32 calls: windows as registered procedures, and the pop-up
// menu and message box answered by the test instead of a user.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Win32.h"

namespace standin {

// A new window handle whose messages go to Procedure.
HWND CreateWindowFor(WNDPROC Procedure);
// Forgets the handle; later messages to it answer 0.
void DestroyWindowFor(HWND Window);

struct MenuItem {
  UINT Flags;
  UINT_PTR Id;
  std::u16string Text;
  bool TextWasNull;
};

// A menu as TrackPopupMenu was asked to show it.
struct TrackedMenu {
  std::vector<MenuItem> Items;
  UINT Flags = 0;
  int X = 0;
  int Y = 0;
  HWND Owner = nullptr;
  bool HadRect = false;
};

// Answers TrackPopupMenu; the default chooser dismisses the menu (answer 0).
using MenuChooser = std::function<BOOL(const TrackedMenu&)>;
void SetMenuChooser(MenuChooser Chooser);
// The menus shown since the last ResetUser32, in order.
const std::vector<TrackedMenu>& TrackedMenus();
// Menus created and not yet destroyed.
int LiveMenuCount();
// Makes CreatePopupMenu fail (return null) while Fail is true.
void SetMenuCreationFails(bool Fail);

void SetCursorPosition(POINT Position);

struct MessageBoxCall {
  HWND Owner;
  std::u16string Text;
  std::u16string Caption;
  UINT Type;
};
// The answer MessageBoxW returns (IDOK unless set).
void SetMessageBoxAnswer(int Answer);
const std::vector<MessageBoxCall>& MessageBoxCalls();

// Back to the defaults: no menus or boxes recorded, dismissing chooser, IDOK, cursor at 0,0.
// Registered windows stay.
void ResetUser32();

}  // namespace standin
