// The user32 calls that the plug-in makes, answered in-process: no display, no message loop.

#include "platform/linux/User32.h"

#include <map>
#include <memory>

namespace standin {
namespace {

struct Menu {
  std::vector<MenuItem> Items;
};

struct User32State {
  std::map<HWND, WNDPROC> Windows;
  uintptr_t NextWindow = 0x1000;
  std::map<HMENU, std::unique_ptr<Menu>> Menus;
  bool MenuCreationFails = false;
  MenuChooser Chooser;
  std::vector<TrackedMenu> Tracked;
  POINT Cursor{0, 0};
  int MessageBoxAnswer = IDOK;
  std::vector<MessageBoxCall> Boxes;
};

User32State& State() {
  static User32State state;
  return state;
}

}  // namespace

HWND CreateWindowFor(WNDPROC Procedure) {
  HWND Window = reinterpret_cast<HWND>(State().NextWindow);
  State().NextWindow += 0x10;
  State().Windows[Window] = Procedure;
  return Window;
}

void DestroyWindowFor(HWND Window) { State().Windows.erase(Window); }

void SetMenuChooser(MenuChooser Chooser) { State().Chooser = std::move(Chooser); }
const std::vector<TrackedMenu>& TrackedMenus() { return State().Tracked; }
int LiveMenuCount() { return static_cast<int>(State().Menus.size()); }
void SetMenuCreationFails(bool Fail) { State().MenuCreationFails = Fail; }
void SetCursorPosition(POINT Position) { State().Cursor = Position; }
void SetMessageBoxAnswer(int Answer) { State().MessageBoxAnswer = Answer; }
const std::vector<MessageBoxCall>& MessageBoxCalls() { return State().Boxes; }

void ResetUser32() {
  User32State& s = State();
  s.Menus.clear();
  s.MenuCreationFails = false;
  s.Chooser = nullptr;
  s.Tracked.clear();
  s.Cursor = POINT{0, 0};
  s.MessageBoxAnswer = IDOK;
  s.Boxes.clear();
}

}  // namespace standin

using standin::State;

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto it = State().Windows.find(hWnd);
  if (it == State().Windows.end()) return 0;
  return it->second(hWnd, msg, wParam, lParam);
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

HMENU CreatePopupMenu() {
  if (State().MenuCreationFails) return nullptr;
  auto menu = std::make_unique<standin::Menu>();
  HMENU handle = reinterpret_cast<HMENU>(menu.get());
  State().Menus[handle] = std::move(menu);
  return handle;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  auto it = State().Menus.find(menu);
  if (it == State().Menus.end()) return FALSE;
  it->second->Items.push_back(
      standin::MenuItem{flags, id, text ? std::u16string(text) : std::u16string(), !text});
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) { return State().Menus.erase(menu) ? TRUE : FALSE; }

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT* rect) {
  auto it = State().Menus.find(menu);
  if (it == State().Menus.end()) return 0;
  State().Tracked.push_back(
      standin::TrackedMenu{it->second->Items, flags, x, y, owner, rect != nullptr});
  if (!State().Chooser) return 0;
  return State().Chooser(State().Tracked.back());
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = State().Cursor;
  return TRUE;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  State().Boxes.push_back(
      standin::MessageBoxCall{owner, text ? text : u"", caption ? caption : u"", type});
  return State().MessageBoxAnswer;
}

LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int maxLength) {
  // The Windows contract: stop at the source's NUL or after maxLength - 1 characters, and
  // always terminate unless the buffer has no room at all.
  LPSTR d = dest;
  int room = maxLength;
  while (room > 1 && *src) {
    *d++ = *src++;
    --room;
  }
  if (room > 0) *d = '\0';
  return dest;
}
