// Keys are posted from a thread timer: the menu's and the message box's modal loops dispatch
// the timer messages of the thread that runs them.

#include "tests/winehost/UserInput.h"

#include <deque>

namespace WineHost {
namespace {

struct TAnswer {
  bool Menu;
  int Value;  // menu: presses of Down (negative: Escape); box: the button
  DWORD NotBefore;
};

struct TUser {
  std::deque<TAnswer> Queue;
  UINT_PTR Timer = 0;
  std::wstring Caption;
  std::wstring Text;
};

TUser& User() {
  static TUser user;
  return user;
}

void Press(HWND Window, WPARAM Key) {
  PostMessageW(Window, WM_KEYDOWN, Key, 0);
  PostMessageW(Window, WM_KEYUP, Key, 0);
}

std::wstring TextOf(HWND Window) {
  wchar_t Buffer[512] = {};
  if (Window) GetWindowTextW(Window, Buffer, 512);
  return Buffer;
}

void StopTimer() {
  if (User().Timer) KillTimer(nullptr, User().Timer);
  User().Timer = 0;
}

// Whether Answer could be given now.
bool Give(const TAnswer& Answer) {
  if (GetTickCount() < Answer.NotBefore) return false;
  if (Answer.Menu) {
    HWND Menu = FindWindowW(L"#32768", nullptr);
    if (!Menu || !IsWindowVisible(Menu)) return false;
    if (Answer.Value < 0) {
      Press(Menu, VK_ESCAPE);
    } else {
      for (int I = 0; I < Answer.Value; ++I) Press(Menu, VK_DOWN);
      Press(Menu, VK_RETURN);
    }
    return true;
  }
  HWND Box = FindWindowW(L"#32770", nullptr);
  if (!Box || !IsWindowVisible(Box)) return false;
  User().Caption = TextOf(Box);
  // The message is the box's static text control (identifier 0xFFFF).
  User().Text = TextOf(GetDlgItem(Box, 0xFFFF));
  PostMessageW(Box, WM_COMMAND, MAKEWPARAM(Answer.Value, BN_CLICKED), 0);
  return true;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  TUser& U = User();
  if (!U.Queue.empty() && Give(U.Queue.front())) U.Queue.pop_front();
  if (U.Queue.empty()) StopTimer();
}

void Queue(TAnswer Answer) {
  User().Queue.push_back(Answer);
  if (!User().Timer) User().Timer = SetTimer(nullptr, 0, 50, OnTimer);
}

}  // namespace

void AnswerNextMenu(int Downs, UINT HoldMs) {
  Queue(TAnswer{true, Downs, GetTickCount() + HoldMs});
}

void AnswerNextMessageBox(int Answer) {
  User().Caption.clear();
  User().Text.clear();
  Queue(TAnswer{false, Answer, 0});
}

const std::wstring& LastBoxCaption() { return User().Caption; }
const std::wstring& LastBoxText() { return User().Text; }

bool AllAnswersGiven() {
  const bool All = User().Queue.empty();
  User().Queue.clear();
  StopTimer();
  return All;
}

}  // namespace WineHost
