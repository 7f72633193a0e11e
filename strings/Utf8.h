// UTF-8 read by the core: where a text stops being well-formed, and the decoding of a text
// known to be well-formed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Utf8 {

// The offset of the first ill-formed sequence in Bytes (well-formed as the Unicode standard
// defines it: no overlong forms, no surrogates, nothing above U+10FFFF), or npos.
size_t FirstInvalid(std::string_view Bytes);

// Whether every byte of Bytes is ASCII (below 0x80).
bool IsAscii(std::string_view Bytes);

// Decodes Bytes, which must be well-formed (unchecked), into Out, which has room for
// Bytes.size() code units; returns how many it wrote.
size_t DecodeWellFormed(std::string_view Bytes, char16_t* Out);
// The same into Scratch, which the result views.
std::u16string_view DecodeWellFormed(std::string_view Bytes, std::u16string& Scratch);

// Decodes Bytes; every byte that cannot start or continue a well-formed sequence becomes one
// U+FFFD, so no input is dropped silently.
std::u16string DecodeReplacing(std::string_view Bytes);

}  // namespace Utf8
