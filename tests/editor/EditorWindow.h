// A window whose messages the simulated editor answers: a stand-in handle on Linux, a real
// top-level window of a registered class on Windows.
#pragma once

#include "tests/editor/SimEditor.h"

namespace SimEditor {

class TEditorWindow {
 public:
  // Visible windows (Windows only) show the document, for screenshots.
  explicit TEditorWindow(TEditor& Editor, bool Visible = false);
  TEditorWindow(const TEditorWindow&) = delete;
  TEditorWindow& operator=(const TEditorWindow&) = delete;
  ~TEditorWindow();
  HWND Handle() const { return FWindow; }

 private:
  HWND FWindow;
};

}  // namespace SimEditor
