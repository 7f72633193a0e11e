// The messages the plug-in sends to the editor window, and the one gateway that sends them.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

namespace plugin {

constexpr UINT HM_QUERY_COMMAND_STATUS = 2049;
constexpr UINT HM_REFRESH_COMMAND = 2050;
constexpr UINT HM_GET_LINE_COUNT = 2052;
constexpr UINT HM_GET_CARET_POS = 2054;
constexpr UINT HM_GET_SCROLL_POS = 2057;
constexpr UINT HM_TEXT_TO_DISPLAY_POS = 2062;
constexpr UINT HM_SET_CARET_POS = 2066;
constexpr UINT HM_SET_SCROLL_POS = 2067;
constexpr UINT HM_RUN_COMMAND = 2070;
constexpr UINT HM_GET_SEL_START = 2074;
constexpr UINT HM_GET_SEL_END = 2075;
constexpr UINT HM_SET_SEL = 2081;
constexpr UINT HM_SET_REDRAW = 2092;
constexpr UINT HM_QUERY_SELECTION = 2093;
constexpr UINT HM_GET_SEL_TEXT = 2094;
constexpr UINT HM_GET_LINE_TEXT = 2095;
constexpr UINT HM_REPLACE_SEL = 2100;
constexpr UINT HM_SET_HIGHLIGHT = 2101;

// An editor position: zero-based column (UTF-16 code units), then zero-based line.
struct HostPos {
  int32_t Column;
  int32_t Line;
};
static_assert(sizeof(HostPos) == 8);

// Which lines a position counts: display lines (wrapped) or text lines (between breaks).
enum class TCoordKind : uint8_t { ckDisplay = 0, ckText = 2 };
using enum TCoordKind;

constexpr uint32_t LineTextFlagTextLine = 1;

// The request of HM_GET_LINE_TEXT: BufferLength 0 asks for the size.
struct LineTextRequest {
  uint32_t BufferLength;
  uint32_t Flags;
  uint32_t Line;
};
static_assert(sizeof(LineTextRequest) == 12);

// The editor window seen through its host messages: every message the plug-in sends goes
// through one of these methods. Output positions read as 0,0 when the editor leaves them.
class THostEditor {
 public:
  explicit THostEditor(HWND Window) : FWindow(Window) {}
  HWND Window() const { return FWindow; }

  // Lets the editor write the checked state of HostCommand into *Checked; its raw answer.
  LRESULT QueryCommandStatus(UINT HostCommand, BOOL* Checked) const;
  void RefreshCommand(LPARAM SavedEventValue) const;
  int32_t LineCount(TCoordKind Kind) const;
  HostPos CaretPos(TCoordKind Kind) const;
  HostPos ScrollPos() const;
  // Text position to display position.
  HostPos TextToDisplayPos(HostPos TextPos) const;
  // Puts the caret at Pos, leaving nothing selected.
  void SetCaretPos(TCoordKind Kind, const HostPos& Pos) const;
  void SetScrollPos(const HostPos& Pos) const;
  void RunCommand(UINT HostCommand) const;
  HostPos SelStart(TCoordKind Kind) const;
  HostPos SelEnd(TCoordKind Kind) const;
  // Selects from Anchor to CaretEnd (display positions); the caret goes to CaretEnd.
  void SetSel(const HostPos& Anchor, const HostPos& CaretEnd) const;
  void SetRedraw(bool On) const;
  // False when nothing is selected.
  bool QuerySelection() const;
  // With Size 0 and a null Buffer: the buffer size needed, terminator included.
  LRESULT GetSelText(LRESULT Size, char16_t* Buffer) const;
  LRESULT GetLineText(LineTextRequest& Request, char16_t* Buffer) const;
  // Text must be NUL-terminated and never null.
  void ReplaceSel(const char16_t* Text) const;
  void SetHighlight(WPARAM OptionBits, const char16_t* Pattern) const;

 private:
  LRESULT Send(UINT Message, WPARAM WParam, LPARAM LParam) const;
  HostPos ReadPos(UINT Message, WPARAM WParam) const;

  HWND FWindow;
};

}  // namespace plugin
