// The entry points' work. OnCommand runs its steps in a fixed order: repainting off, remember
// where the user was, menu, whole lines, read, run, write back, restore, repainting on.

#include "plugin/EntryPoints.h"

#include <climits>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "base/Exceptions.h"
#include "commands/LineCommands.h"
#include "plugin/CommandMenu.h"
#include "plugin/DuplicationHighlight.h"
#include "plugin/PluginLibrary.h"
#include "plugin/plugin.h"
#include "strings/Utf8.h"

namespace Tarnwick {

using plugin::HostPos;
using plugin::THostEditor;

namespace {

const char16_t* const UninstallQuestion = u"アンインストールしますか？";
const char* const UnknownFailure = "不明なエラーが発生しました";
const char* const OutOfMemory = "メモリが不足しています";
// The first line for an exception from outside the plug-in, whose own text follows.
const char* const UnexpectedFailure = "予期しないエラーが発生しました";

std::u16string DisplayNameWide() { return Utf8::DecodeReplacing(DisplayName); }

// The chosen operation on the selected text; writes its result over the selection (command 12
// instead hands the editor its highlight pattern). The text is taken by value so that a sort
// can release it once it is cut into lines.
void RunLineCommand(HWND Window, uint8_t Command, std::u16string Text) {
  if (Command <= ciReverse) {
    PluginLibrary::ReplaceSelection(Window, Sort(std::move(Text), Command));
  } else if (Command == ciDuplicationDelete) {
    PluginLibrary::ReplaceSelection(Window, DuplicationDelete(Text));
  } else if (Command == ciDuplicationCount) {
    PluginLibrary::ReplaceSelection(Window, DuplicationDeleteCountDown(Text));
  } else {
    DuplicationHighlight(Window, Text);
  }
}

// Everything between switching repainting off and on. An exception leaves the selection and
// scroll position as they are at that moment and nothing written back.
void ChooseAndRun(const THostEditor& Editor) {
  HWND Window = Editor.Window();
  const HostPos SelStart = Editor.SelStart(plugin::ckText);
  const HostPos Scroll = Editor.ScrollPos();
  const bool WholeDocument = !Editor.QuerySelection();

  const uint8_t Command = ChooseCommand(Window);
  if (Command != ciCancel) {
    if (WholeDocument) {
      Editor.RunCommand(HostCommandSelectAll);
    } else {
      PluginLibrary::SelectWholeLines(Window);
    }
    RunLineCommand(Window, Command, PluginLibrary::ReadSelectedText(Window));
    if (WholeDocument) {
      Editor.RunCommand(HostCommandAfterWholeDocument);
      Editor.SetCaretPos(plugin::ckText, SelStart);
    }
  }
  Editor.SetScrollPos(Scroll);
}

// Shows Message, and Detail on a second line when given. Texts of the plug-in's own failures
// are Japanese; a foreign exception's text may not even be UTF-8, which is shown replaced.
void ShowFailure(HWND Window, const char* Message, const char* Detail = nullptr) noexcept {
  try {
    std::u16string Text = Utf8::DecodeReplacing(Message);
    if (Detail != nullptr && *Detail != '\0') Text += u"\n" + Utf8::DecodeReplacing(Detail);
    const std::u16string Caption = DisplayNameWide();
    MessageBoxW(Window, AsWide(Text.c_str()), AsWide(Caption.c_str()), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Out of memory even for the message: the document is already safe, say nothing more.
  }
}

// Copies Text into the editor's 8-bit buffer when it gave one; the text's length either way.
LRESULT CopyText(const char* Text, WPARAM BufferSize, LPARAM Buffer) {
  if (Buffer != 0) {
    const int Size =
        BufferSize > static_cast<WPARAM>(INT_MAX) ? INT_MAX : static_cast<int>(BufferSize);
    lstrcpynA(reinterpret_cast<LPSTR>(Buffer), Text, Size);
  }
  return static_cast<LRESULT>(std::strlen(Text));
}

}  // namespace

void OnCommand(HWND Window) noexcept {
  const THostEditor Editor(Window);
  Editor.SetRedraw(false);
  // On a failure nothing has been written back. Repainting comes back before the box, so the
  // editor draws the unchanged text behind it; the user reads why in the plug-in's language.
  try {
    ChooseAndRun(Editor);
  } catch (const std::bad_alloc&) {
    Editor.SetRedraw(true);
    ShowFailure(Window, OutOfMemory);
    return;
  } catch (const SysUtils::Exception& E) {
    Editor.SetRedraw(true);
    ShowFailure(Window, *E.what() != '\0' ? E.what() : UnknownFailure);
    return;
  } catch (const std::exception& E) {
    Editor.SetRedraw(true);
    ShowFailure(Window, UnexpectedFailure, E.what());
    return;
  } catch (...) {
    Editor.SetRedraw(true);
    ShowFailure(Window, UnknownFailure);
    return;
  }
  Editor.SetRedraw(true);
}

BOOL QueryStatus(HWND Window, BOOL* Checked) noexcept {
  const LRESULT Answer = THostEditor(Window).QueryCommandStatus(HostCommandEnabledState, Checked);
  return (Answer & 0xFF) != 0 ? -1 : 0;
}

void TEventMemory::OnEvents(HWND Window, UINT Events, LPARAM Value) {
  if (Events & EventStoreValue) FSavedValue = Value;
  if (Events & EventRefresh) THostEditor(Window).RefreshCommand(FSavedValue);
}

void OnEvents(HWND Window, UINT Events, LPARAM Value) noexcept {
  static TEventMemory Memory;
  Memory.OnEvents(Window, Events, Value);
}

LRESULT PlugInProc(HWND Window, UINT Request, WPARAM First, LPARAM Second) noexcept {
  switch (Request) {
    case RequestName:
      return CopyText(DisplayName, First, Second);
    case RequestVersion:
      return CopyText(VersionText, First, Second);
    case RequestCanUninstall:
      return 1;
    case RequestUninstall:
      try {
        const std::u16string Caption = DisplayNameWide();
        return MessageBoxW(Window, AsWide(UninstallQuestion), AsWide(Caption.c_str()),
                           MB_YESNO | MB_ICONQUESTION) == IDYES
                   ? 1
                   : 0;
      } catch (...) {
        return 0;
      }
    default:
      return 0;
  }
}

}  // namespace Tarnwick
