#include "plugin/DuplicationHighlight.h"

#include "commands/LineCommands.h"
#include "plugin/plugin.h"

namespace Tarnwick {

void DuplicationHighlight(HWND Window, const std::u16string& Text) {
  const std::u16string Pattern = DuplicationHighlightPattern(Text);
  // Sent also when nothing repeats: the empty pattern clears an earlier highlight.
  plugin::THostEditor(Window).SetHighlight(HighlightOptionBits, Pattern.c_str());
}

}  // namespace Tarnwick
