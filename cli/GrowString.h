// Growing a string that is about to be written over, for the input buffer.
#pragma once

#include <cstddef>
#include <string>

namespace System {

// Makes Data Size bytes long, its first bytes kept; the bytes past its old size are for the
// caller to write before it reads them. Where the library allows, they are not zero-filled
// first: on a large file that fill is a sizeable share of a fast operation's work.
inline void GrowForWriting(std::string& Data, size_t Size) {
#ifdef __cpp_lib_string_resize_and_overwrite
  Data.resize_and_overwrite(Size, [](char*, size_t Room) { return Room; });
#else
  Data.resize(Size);
#endif
}

}  // namespace System
