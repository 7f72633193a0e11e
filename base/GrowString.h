// Growing a string that is about to be written over: the input buffer, a sorted text.
#pragma once

#include <cstddef>
#include <string>

namespace Strings {

// Makes Data Size units long, its first units kept; the units past its old size are for the
// caller to write before it reads them. They are not zero-filled first: on a large text that
// fill, and the page faults it takes on one thread, are a sizeable share of a fast operation.
template <class TUnit>
void GrowForWriting(std::basic_string<TUnit>& Data, size_t Size) {
  // Size itself, not the room the operation is given: some libraries pass the capacity they
  // chose, which may be larger.
  Data.resize_and_overwrite(Size, [Size](TUnit*, size_t) { return Size; });
}

}  // namespace Strings
