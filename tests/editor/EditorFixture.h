// A test fixture with one simulated editor behind a window handle.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/editor/EditorWindow.h"
#include "tests/editor/SimEditor.h"

namespace SimEditor {

class EditorFixture : public ::testing::Test {
 public:
  // Mixed line breaks, a last line without one.
  static constexpr const char16_t* MixedDocument = u"zero\r\none\ntwo\rthree\r\nfour\nfive";

 protected:
  HWND Window() const { return FWindow->Handle(); }
  void Open(std::u16string Document) { Editor.Document = std::move(Document); }
  void ClearLog() { Editor.Log.clear(); }

  TEditor Editor;

 private:
  std::unique_ptr<TEditorWindow> FWindow = std::make_unique<TEditorWindow>(Editor);
};

}  // namespace SimEditor
