#include "tests/editor/EditorWindow.h"

#include <stdexcept>

#ifndef _WIN32
#include "platform/linux/User32.h"
#endif

namespace SimEditor {

#ifdef _WIN32

namespace {

const wchar_t* const ClassName = L"TarnwickSimulatedEditor";

void RegisterOnce() {
  static const ATOM Atom = [] {
    WNDCLASSW Class{};
    Class.lpfnWndProc = EditorWindowProc;
    Class.hInstance = GetModuleHandleW(nullptr);
    Class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    Class.lpszClassName = ClassName;
    return RegisterClassW(&Class);
  }();
  if (Atom == 0) throw std::runtime_error("RegisterClassW failed");
}

}  // namespace

TEditorWindow::TEditorWindow(TEditor& Editor, bool Visible) {
  RegisterOnce();
  FWindow = CreateWindowExW(0, ClassName, L"Tarnwick - simulated editor", WS_OVERLAPPEDWINDOW, 40,
                            40, 560, 420, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!FWindow) throw std::runtime_error("CreateWindowExW failed");
  Attach(FWindow, &Editor);
  if (Visible) {
    // A read-only edit control shows the document under the menu.
    HWND View = CreateWindowExW(0, L"EDIT", reinterpret_cast<LPCWSTR>(Editor.Document.c_str()),
                                WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, 0, 0, 544, 380,
                                FWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(View, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    ShowWindow(FWindow, SW_SHOWNORMAL);
    UpdateWindow(FWindow);
  }
}

TEditorWindow::~TEditorWindow() {
  Detach(FWindow);
  DestroyWindow(FWindow);
}

#else

TEditorWindow::TEditorWindow(TEditor& Editor, bool) {
  FWindow = standin::CreateWindowFor(EditorWindowProc);
  Attach(FWindow, &Editor);
}

TEditorWindow::~TEditorWindow() {
  Detach(FWindow);
  standin::DestroyWindowFor(FWindow);
}

#endif

}  // namespace SimEditor
