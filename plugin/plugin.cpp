// Each host message with its parameters packed the way the editor reads them: positions and
// requests travel as pointers in the pointer-sized message parameters.

#include "plugin/plugin.h"

namespace plugin {
namespace {

LPARAM AsParam(const void* P) { return reinterpret_cast<LPARAM>(P); }
WPARAM AsKind(TCoordKind Kind) { return static_cast<WPARAM>(Kind); }

}  // namespace

LRESULT THostEditor::Send(UINT Message, WPARAM WParam, LPARAM LParam) const {
  return SendMessageW(FWindow, Message, WParam, LParam);
}

HostPos THostEditor::ReadPos(UINT Message, WPARAM WParam) const {
  HostPos Pos{0, 0};
  Send(Message, WParam, AsParam(&Pos));
  return Pos;
}

LRESULT THostEditor::QueryCommandStatus(UINT HostCommand, BOOL* Checked) const {
  return Send(HM_QUERY_COMMAND_STATUS, HostCommand, AsParam(Checked));
}

void THostEditor::RefreshCommand(LPARAM SavedEventValue) const {
  Send(HM_REFRESH_COMMAND, static_cast<WPARAM>(SavedEventValue), 0);
}

int32_t THostEditor::LineCount(TCoordKind Kind) const {
  return static_cast<int32_t>(Send(HM_GET_LINE_COUNT, AsKind(Kind), 0));
}

HostPos THostEditor::CaretPos(TCoordKind Kind) const {
  return ReadPos(HM_GET_CARET_POS, AsKind(Kind));
}

HostPos THostEditor::ScrollPos() const { return ReadPos(HM_GET_SCROLL_POS, 0); }

HostPos THostEditor::TextToDisplayPos(HostPos TextPos) const {
  // The editor converts in place: the same record is input and output.
  Send(HM_TEXT_TO_DISPLAY_POS, static_cast<WPARAM>(AsParam(&TextPos)), AsParam(&TextPos));
  return TextPos;
}

void THostEditor::SetCaretPos(TCoordKind Kind, const HostPos& Pos) const {
  Send(HM_SET_CARET_POS, AsKind(Kind), AsParam(&Pos));
}

void THostEditor::SetScrollPos(const HostPos& Pos) const {
  Send(HM_SET_SCROLL_POS, 0, AsParam(&Pos));
}

void THostEditor::RunCommand(UINT HostCommand) const { Send(HM_RUN_COMMAND, HostCommand, 0); }

HostPos THostEditor::SelStart(TCoordKind Kind) const {
  return ReadPos(HM_GET_SEL_START, AsKind(Kind));
}

HostPos THostEditor::SelEnd(TCoordKind Kind) const { return ReadPos(HM_GET_SEL_END, AsKind(Kind)); }

void THostEditor::SetSel(const HostPos& Anchor, const HostPos& CaretEnd) const {
  Send(HM_SET_SEL, static_cast<WPARAM>(AsParam(&Anchor)), AsParam(&CaretEnd));
}

void THostEditor::SetRedraw(bool On) const { Send(HM_SET_REDRAW, On ? 1 : 0, 0); }

bool THostEditor::QuerySelection() const { return Send(HM_QUERY_SELECTION, 0, 0) != 0; }

LRESULT THostEditor::GetSelText(LRESULT Size, char16_t* Buffer) const {
  return Send(HM_GET_SEL_TEXT, static_cast<WPARAM>(Size), AsParam(Buffer));
}

LRESULT THostEditor::GetLineText(LineTextRequest& Request, char16_t* Buffer) const {
  return Send(HM_GET_LINE_TEXT, static_cast<WPARAM>(AsParam(&Request)), AsParam(Buffer));
}

void THostEditor::ReplaceSel(const char16_t* Text) const { Send(HM_REPLACE_SEL, 0, AsParam(Text)); }

void THostEditor::SetHighlight(WPARAM OptionBits, const char16_t* Pattern) const {
  Send(HM_SET_HIGHLIGHT, OptionBits, AsParam(Pattern));
}

}  // namespace plugin
