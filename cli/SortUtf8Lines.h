// The sort operations on the bytes of a UTF-8 file, sorted where they lie: the sort reads each
// line's UTF-16 form only while it makes the line's keys, so no UTF-16 copy of the text is held.
#pragma once

#include <string>

#include "cli/Operations.h"

namespace Operations {

// Runs sort operation 1..8 on Bytes, UTF-8 after an optional UTF-8 byte-order mark (which
// stays in front), when they are valid UTF-8 and the platform's collation keys serve: the
// bytes that decoding, Run and encoding would give. True when it did, Bytes then holding the
// output; false, Bytes untouched, when another path must sort them. Exceptions of the
// comparisons pass through, Bytes untouched.
bool SortUtf8Lines(const TOperation& Operation, std::string& Bytes);

}  // namespace Operations
