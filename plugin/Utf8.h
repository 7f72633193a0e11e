// UTF-8 messages (exception texts) to the UTF-16 the Windows dialogs take.
#pragma once

#include <string>
#include <string_view>

namespace Tarnwick {

// Decodes Utf8; every malformed, overlong or surrogate sequence becomes one U+FFFD per byte
// that cannot start or continue a sequence, so no input is dropped silently.
std::u16string Utf8ToUtf16(std::string_view Utf8);

}  // namespace Tarnwick
