// UTF-8 and UTF-16 as the tool reads and writes them: UTF-16 by hand, UTF-8 with long ASCII
// runs converted in place and the rest by the platform's converter.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Codec::Unicode {

// Strict UTF-8 to UTF-16 into Out; false on an ill-formed sequence.
bool DecodeUtf8(std::string_view Bytes, std::u16string& Out);
// Appends Text in UTF-8 to Out; false on an unpaired surrogate.
bool EncodeUtf8(std::u16string_view Text, std::string& Out);

// The UTF-16 in All after its first Base bytes (the mark). Throws EInvalidInput (named Name)
// for an odd length or an unpaired surrogate, with the offset counted in All.
std::u16string DecodeUtf16(std::string_view All, size_t Base, bool BigEndian,
                           const std::string& Name);
// Appends Text to Out in UTF-16; throws EUnencodable for an unpaired surrogate.
void EncodeUtf16(std::u16string_view Text, bool BigEndian, const std::string& Name,
                 std::string& Out);

}  // namespace Codec::Unicode
