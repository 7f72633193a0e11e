// The simulated editor's behaviour. Positions outside the document are clamped to it, as an
// editor would, so a plug-in fault shows up as wrong text rather than as a crash here.

#include "tests/editor/SimEditor.h"

#include <algorithm>
#include <map>

namespace SimEditor {

using namespace plugin;

namespace {

std::map<HWND, TEditor*>& Editors() {
  static std::map<HWND, TEditor*> editors;
  return editors;
}

HostPos& PosAt(LPARAM P) { return *reinterpret_cast<HostPos*>(P); }
const HostPos& PosAt(WPARAM P) { return *reinterpret_cast<const HostPos*>(P); }

}  // namespace

void Attach(HWND Window, TEditor* Editor) { Editors()[Window] = Editor; }
void Detach(HWND Window) { Editors().erase(Window); }

LRESULT CALLBACK EditorWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  auto it = Editors().find(Window);
  if (it == Editors().end() || Message < HM_QUERY_COMMAND_STATUS) {
    return DefWindowProcW(Window, Message, WParam, LParam);
  }
  return it->second->Handle(Message, WParam, LParam);
}

std::vector<TEditor::TLine> TEditor::Lines() const {
  std::vector<TLine> Result;
  size_t Start = 0;
  for (size_t I = 0; I < Document.size(); ++I) {
    const char16_t C = Document[I];
    if (C != u'\r' && C != u'\n') continue;
    Result.push_back(TLine{Start, static_cast<int32_t>(I - Start)});
    if (C == u'\r' && I + 1 < Document.size() && Document[I + 1] == u'\n') ++I;
    Start = I + 1;
  }
  Result.push_back(TLine{Start, static_cast<int32_t>(Document.size() - Start)});
  return Result;
}

int32_t TEditor::RowsOf(const TLine& Line) const {
  if (WrapWidth <= 0 || Line.Length == 0) return 1;
  return (Line.Length + WrapWidth - 1) / WrapWidth;
}

size_t TEditor::Offset(HostPos TextPos) const {
  const auto L = Lines();
  const int32_t Line = std::clamp<int32_t>(TextPos.Line, 0, static_cast<int32_t>(L.size()) - 1);
  return L[Line].Start + std::clamp<int32_t>(TextPos.Column, 0, L[Line].Length);
}

HostPos TEditor::PosOf(size_t Offset) const {
  const auto L = Lines();
  for (size_t I = L.size(); I-- > 0;) {
    if (L[I].Start <= Offset) {
      return HostPos{std::min<int32_t>(static_cast<int32_t>(Offset - L[I].Start), L[I].Length),
                     static_cast<int32_t>(I)};
    }
  }
  return HostPos{0, 0};
}

HostPos TEditor::TextToDisplay(HostPos Pos) const {
  const auto L = Lines();
  const size_t Line = std::clamp<int32_t>(Pos.Line, 0, static_cast<int32_t>(L.size()) - 1);
  const int32_t Column = std::clamp<int32_t>(Pos.Column, 0, L[Line].Length);
  int32_t Row = 0;
  for (size_t I = 0; I < Line; ++I) Row += RowsOf(L[I]);
  if (WrapWidth <= 0) return HostPos{Column, Row};
  const int32_t Within = std::min(Column / WrapWidth, RowsOf(L[Line]) - 1);
  return HostPos{Column - Within * WrapWidth, Row + Within};
}

HostPos TEditor::DisplayToText(HostPos Pos) const {
  const auto L = Lines();
  int32_t Row = Pos.Line;
  for (size_t I = 0; I < L.size(); ++I) {
    const int32_t Rows = RowsOf(L[I]);
    if (Row < Rows || I + 1 == L.size()) {
      const int32_t Within = std::min(Row, Rows - 1);
      const int32_t Column = (WrapWidth > 0 ? Within * WrapWidth : 0) + Pos.Column;
      return HostPos{std::clamp<int32_t>(Column, 0, L[I].Length), static_cast<int32_t>(I)};
    }
    Row -= Rows;
  }
  return HostPos{0, 0};
}

HostPos TEditor::SelStart() const { return PosOf(std::min(Offset(Anchor), Offset(Caret))); }
HostPos TEditor::SelEnd() const { return PosOf(std::max(Offset(Anchor), Offset(Caret))); }

std::u16string TEditor::SelectedText() const {
  const size_t A = Offset(SelStart()), B = Offset(SelEnd());
  return Document.substr(A, B - A);
}

HostPos TEditor::EndOfDocument() const { return PosOf(Document.size()); }

std::vector<UINT> TEditor::Messages() const {
  std::vector<UINT> Result;
  for (const TLogEntry& E : Log) Result.push_back(E.Message);
  return Result;
}

std::vector<WPARAM> TEditor::WParamsOf(UINT Message) const {
  std::vector<WPARAM> Result;
  for (const TLogEntry& E : Log) {
    if (E.Message == Message) Result.push_back(E.WParam);
  }
  return Result;
}

LRESULT TEditor::CopyOut(const std::u16string& Text, WPARAM Size, LPARAM Buffer) const {
  const LRESULT Needed = static_cast<LRESULT>(Text.size()) + 1;
  if (Buffer != 0 && Size > 0) {
    // Copies the raw code units, NULs included; a faulty host stops short.
    size_t Count = std::min<size_t>(Text.size(), Size - 1);
    Count -= std::min<size_t>(Count, static_cast<size_t>(std::max(CopiesShortBy, 0)));
    char16_t* Out = reinterpret_cast<char16_t*>(Buffer);
    std::copy_n(Text.begin(), Count, Out);
    Out[Count] = u'\0';
  }
  return Needed;
}

LRESULT TEditor::Handle(UINT Message, WPARAM WParam, LPARAM LParam) {
  TLogEntry Entry{Message, WParam, {}};
  if ((Message == HM_REPLACE_SEL || Message == HM_SET_HIGHLIGHT) && LParam != 0) {
    Entry.Text = reinterpret_cast<const char16_t*>(LParam);
  }
  Log.push_back(Entry);

  const bool Display = WParam == static_cast<WPARAM>(ckDisplay);
  switch (Message) {
    case HM_QUERY_COMMAND_STATUS:
      if (LParam != 0) *reinterpret_cast<BOOL*>(LParam) = Checked;
      return CommandStatus;
    case HM_GET_LINE_COUNT:
      if (Display) return TextToDisplay(EndOfDocument()).Line + 1;
      return static_cast<LRESULT>(Lines().size());
    case HM_GET_CARET_POS:
      PosAt(LParam) = Display ? TextToDisplay(Caret) : Caret;
      return 1;
    case HM_GET_SCROLL_POS:
      PosAt(LParam) = Scroll;
      return 1;
    case HM_TEXT_TO_DISPLAY_POS: {
      const HostPos In = PosAt(WParam);
      PosAt(LParam) = TextToDisplay(In);
      return 1;
    }
    case HM_SET_CARET_POS: {
      const HostPos At = Display ? DisplayToText(PosAt(LParam)) : PosOf(Offset(PosAt(LParam)));
      Select(At, At);
      return 1;
    }
    case HM_SET_SCROLL_POS:
      Scroll = PosAt(LParam);
      return 1;
    case HM_RUN_COMMAND:
      // Selecting everything scrolls to the caret at the end, as an editor does.
      if (WParam == 4136) Select(HostPos{0, 0}, EndOfDocument()), Scroll = {0, Caret.Line};
      return 1;
    case HM_GET_SEL_START:
      PosAt(LParam) = Display ? TextToDisplay(SelStart()) : SelStart();
      return 1;
    case HM_GET_SEL_END:
      PosAt(LParam) = Display ? TextToDisplay(SelEnd()) : SelEnd();
      return 1;
    case HM_SET_SEL:
      Select(DisplayToText(PosAt(WParam)), DisplayToText(PosAt(LParam)));
      return 1;
    case HM_SET_REDRAW:
      Redraw = WParam != 0;
      return 0;
    case HM_QUERY_SELECTION:
      return Offset(Anchor) != Offset(Caret) ? 1 : 0;
    case HM_GET_SEL_TEXT:
      return CopyOut(SelectedText(), WParam, LParam);
    case HM_GET_LINE_TEXT: {
      auto& Request = *reinterpret_cast<LineTextRequest*>(WParam);
      const auto L = Lines();
      if (Request.Flags != LineTextFlagTextLine || Request.Line >= L.size()) return 0;
      const std::u16string Body = Document.substr(L[Request.Line].Start, L[Request.Line].Length);
      return CopyOut(Body, Request.BufferLength, LParam);
    }
    case HM_REPLACE_SEL: {
      if (LParam == 0) return 0;
      const size_t A = Offset(SelStart()), B = Offset(SelEnd());
      Document.replace(A, B - A, Entry.Text);
      const HostPos After = PosOf(A + Entry.Text.size());
      Select(After, After);
      Scroll = HostPos{0, After.Line};
      return 1;
    }
    case HM_SET_HIGHLIGHT:
      ++HighlightCount;
      HighlightBits = WParam;
      Highlight = LParam != 0 ? std::optional<std::u16string>(Entry.Text) : std::nullopt;
      return 1;
    default:
      return 0;
  }
}

}  // namespace SimEditor
