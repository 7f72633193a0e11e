// The editor's selection as whole lines of text: read it, extend it, replace it.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/plugin.h"

namespace PluginLibrary {

using plugin::HostPos;

// The selected text. Throws SysUtils::Exception when the editor hands over less text than it
// announced (text with a NUL in it), since writing back a shortened copy would lose the rest.
std::u16string ReadSelectedText(HWND Window);
// Replaces the selection with Text (an empty Text deletes the selection).
void ReplaceSelection(HWND Window, const std::u16string& Text);
// The text of text line Line, without its break; throws as ReadSelectedText.
std::u16string ReadLineText(HWND Window, int32_t Line);

// True when column and line are both equal.
bool SamePos(const HostPos& A, const HostPos& B);
// True when the caret sits at the selection's end and not at its start.
bool IsCaretAtSelEnd(HWND Window);
// Selects Anchor..CaretEnd (display positions), or only places the caret when they are equal.
void SelectRange(HWND Window, const HostPos& Anchor, const HostPos& CaretEnd);
// Reselects the current selection with the caret at its end (CaretAtEnd) or at its start.
void RestoreCaretEnd(HWND Window, bool CaretAtEnd);
// Extends the selection to whole lines (the last line to the document's end), keeping the
// caret at the end where it was.
void SelectWholeLines(HWND Window);

}  // namespace PluginLibrary
