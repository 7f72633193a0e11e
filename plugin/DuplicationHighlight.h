// Menu command 12: the editor highlights every line that repeats an earlier one.
#pragma once

#include <string>

#include "platform/Win32.h"

namespace Tarnwick {

// The option bits of the highlight message: how the editor applies the pattern.
constexpr WPARAM HighlightOptionBits = 289;

// Sends the editor the pattern of Text's repeated lines (an empty pattern when none repeats);
// Text itself is not changed.
void DuplicationHighlight(HWND Window, const std::u16string& Text);

}  // namespace Tarnwick
