// A simulated host editor: a document, a selection, a view, and answers to every host message
// the plug-in sends, each message logged. The same window procedure serves a Linux stand-in
// window and a real Windows window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Win32.h"
#include "plugin/plugin.h"

namespace SimEditor {

using plugin::HostPos;

struct TLogEntry {
  UINT Message;
  WPARAM WParam;
  // The text a string message carried (replacement, highlight pattern).
  std::u16string Text;
};

class TEditor {
 public:
  // The document; lines end in CR LF, CR or LF, the last line may have none.
  std::u16string Document;
  // Selection ends and the caret end, as text positions.
  HostPos Anchor{0, 0};
  HostPos Caret{0, 0};
  HostPos Scroll{0, 0};
  // Display lines are at most this many code units long (0: no wrapping, display = text).
  int32_t WrapWidth = 0;
  bool Redraw = true;
  // The last highlight pattern and its option bits; a null pattern is recorded as nullopt.
  std::optional<std::u16string> Highlight;
  WPARAM HighlightBits = 0;
  int HighlightCount = 0;
  // Answer and checked state for the command-status question.
  LRESULT CommandStatus = 1;
  BOOL Checked = FALSE;
  // A faulty host: copies this many code units fewer than it announces.
  int32_t CopiesShortBy = 0;
  std::vector<TLogEntry> Log;

  void Select(HostPos NewAnchor, HostPos NewCaret) { Anchor = NewAnchor, Caret = NewCaret; }
  HostPos SelStart() const;
  HostPos SelEnd() const;
  std::u16string SelectedText() const;
  HostPos EndOfDocument() const;
  // The messages of the log, in order, without parameters.
  std::vector<UINT> Messages() const;
  // The values sent with one message, in order.
  std::vector<WPARAM> WParamsOf(UINT Message) const;

  HostPos TextToDisplay(HostPos Pos) const;
  HostPos DisplayToText(HostPos Pos) const;

  LRESULT Handle(UINT Message, WPARAM WParam, LPARAM LParam);

 private:
  struct TLine {
    size_t Start;
    int32_t Length;  // without the break
  };
  std::vector<TLine> Lines() const;
  int32_t RowsOf(const TLine& Line) const;
  size_t Offset(HostPos TextPos) const;
  HostPos PosOf(size_t Offset) const;
  LRESULT CopyOut(const std::u16string& Text, WPARAM Size, LPARAM Buffer) const;
};

// Messages to Window go to Editor until Detach.
void Attach(HWND Window, TEditor* Editor);
void Detach(HWND Window);
LRESULT CALLBACK EditorWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

}  // namespace SimEditor
