// Selection access built from the host messages. Texts are read with a size question and a
// buffer; positions are compared and converted through the editor.

#include "plugin/PluginLibrary.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/GrowString.h"
#include "base/Parallel.h"
#include "strings/StringSearchUnit.h"

namespace PluginLibrary {

using plugin::ckDisplay;
using plugin::ckText;
using plugin::THostEditor;

namespace {

// The editor stops copying at a NUL, so a text holding one arrives shorter than announced.
// Processing the shortened copy would write back a text without everything after the NUL.
const char* const ShortTextMessage =
    "選択範囲のテキストを最後まで読み取れませんでした(NUL文字を含む行は処理できません)";

// How many code units a part of the buffer's filling and searching takes at least.
constexpr size_t BufferGrain = size_t{1} << 20;

// Asks for the size with Fetch(0, null), then fetches into a zero-filled buffer of that size
// (plus room for one more code unit) and keeps the text up to the first NUL. A whole
// document's text is tens of megabytes: the buffer is filled, and searched, in parts on the
// threads.
template <typename TFetch>
std::u16string ReadText(TFetch Fetch) {
  const LRESULT Size = Fetch(0, nullptr);
  if (Size <= 0) return std::u16string();
  const size_t Units = static_cast<size_t>(Size) + 1;
  const size_t Parts = Parallel::PartCount(Units, BufferGrain);
  const auto Part = [Units, Parts](size_t P) {
    return std::pair{Parallel::PartBegin(Units, Parts, P),
                     Parallel::PartBegin(Units, Parts, P + 1)};
  };
  std::u16string Buffer;
  Strings::GrowForWriting(Buffer, Units);
  Parallel::ForEachPart(Parts, [&](size_t P) {
    std::fill(Buffer.data() + Part(P).first, Buffer.data() + Part(P).second, u'\0');
  });
  Fetch(Size, Buffer.data());
  std::vector<size_t> Nuls(Parts);
  Parallel::ForEachPart(Parts, [&](size_t P) {
    const auto [Begin, End] = Part(P);
    const size_t Nul =
        StringSearchUnit::FindUnit(std::u16string_view(Buffer).substr(Begin, End - Begin), u'\0');
    Nuls[P] = Nul == std::u16string_view::npos ? Units : Begin + Nul;
  });
  // The buffer's last unit is a NUL whatever the editor wrote.
  const size_t Length = *std::min_element(Nuls.begin(), Nuls.end());
  if (Length < static_cast<size_t>(Size) - 1) throw SysUtils::Exception(ShortTextMessage);
  Buffer.resize(Length);
  return Buffer;
}

}  // namespace

std::u16string ReadSelectedText(HWND Window) {
  const THostEditor Editor(Window);
  return ReadText([&](LRESULT Size, char16_t* Buffer) { return Editor.GetSelText(Size, Buffer); });
}

void ReplaceSelection(HWND Window, const std::u16string& Text) {
  // c_str() is NUL-terminated and never null, also for an empty text.
  THostEditor(Window).ReplaceSel(Text.c_str());
}

std::u16string ReadLineText(HWND Window, int32_t Line) {
  const THostEditor Editor(Window);
  return ReadText([&](LRESULT Size, char16_t* Buffer) {
    plugin::LineTextRequest Request{static_cast<uint32_t>(Size), plugin::LineTextFlagTextLine,
                                    static_cast<uint32_t>(Line)};
    return Editor.GetLineText(Request, Buffer);
  });
}

bool SamePos(const HostPos& A, const HostPos& B) {
  return A.Column == B.Column && A.Line == B.Line;
}

bool IsCaretAtSelEnd(HWND Window) {
  const THostEditor Editor(Window);
  const HostPos Start = Editor.SelStart(ckDisplay);
  const HostPos End = Editor.SelEnd(ckDisplay);
  const HostPos Caret = Editor.CaretPos(ckDisplay);
  // Start is tested first, so an empty selection answers false.
  if (SamePos(Caret, Start)) return false;
  return SamePos(Caret, End);
}

void SelectRange(HWND Window, const HostPos& Anchor, const HostPos& CaretEnd) {
  const THostEditor Editor(Window);
  if (SamePos(Anchor, CaretEnd)) {
    Editor.SetCaretPos(ckDisplay, Anchor);
  } else {
    Editor.SetSel(Anchor, CaretEnd);
  }
}

void RestoreCaretEnd(HWND Window, bool CaretAtEnd) {
  const THostEditor Editor(Window);
  const HostPos Start = Editor.SelStart(ckDisplay);
  const HostPos End = Editor.SelEnd(ckDisplay);
  if (CaretAtEnd) {
    SelectRange(Window, Start, End);
  } else {
    SelectRange(Window, End, Start);
  }
}

void SelectWholeLines(HWND Window) {
  const THostEditor Editor(Window);
  HostPos Start = Editor.SelStart(ckText);
  HostPos End = Editor.SelEnd(ckText);
  const bool CaretAtEnd = IsCaretAtSelEnd(Window);

  Start.Column = 0;
  // A selection that already ends at the start of a later line keeps that end: the line it
  // touches is not taken.
  if (!(End.Line > Start.Line && End.Column == 0)) {
    if (End.Line == Editor.LineCount(ckText) - 1) {
      End.Column = static_cast<int32_t>(ReadLineText(Window, End.Line).size());
    } else {
      End = HostPos{0, End.Line + 1};
    }
  }

  const HostPos DisplayStart = Editor.TextToDisplayPos(Start);
  const HostPos DisplayEnd = Editor.TextToDisplayPos(End);
  Editor.SetSel(DisplayStart, DisplayEnd);
  RestoreCaretEnd(Window, CaretAtEnd);
}

}  // namespace PluginLibrary
