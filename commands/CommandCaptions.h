// The captions of the command menu, which the plug-in shows and the tool's help lists.
#pragma once

#include <cstdint>
#include <string_view>

namespace Tarnwick {

// The menu caption of CommandId (0 is Cancel, 1..12 the line operations), NUL-terminated;
// empty for any other identifier.
std::u16string_view CommandCaption(uint8_t CommandId);

}  // namespace Tarnwick
