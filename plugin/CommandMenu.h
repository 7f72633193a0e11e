// The pop-up menu of the twelve line operations and Cancel.
#pragma once

#include <array>
#include <cstdint>

#include "commands/CommandId.h"
#include "platform/Win32.h"

namespace Tarnwick {

struct TMenuEntry {
  UINT Flags;
  uint8_t Id;
  const char16_t* Caption;
};

// The menu's 19 entries in display order, separators included (empty caption, identifier 0).
const std::array<TMenuEntry, 19>& CommandMenuEntries();

// Shows the menu at the mouse cursor, owned by Window, and returns the chosen identifier;
// 0 when the user cancels or dismisses it or when the menu cannot be built or shown.
uint8_t ChooseCommand(HWND Window);

}  // namespace Tarnwick
