// The sort operations on the bytes of a file in an encoding that converts by line (UTF-8,
// Shift_JIS, EUC-JP), sorted where they lie: the sort reads each line's UTF-16 form only while
// it makes the line's keys, so no UTF-16 copy of the text is held.
#pragma once

#include <string>

#include "cli/Codec.h"
#include "cli/Operations.h"

namespace Operations {

// Runs sort operation 1..8 on Bytes, in Encoding, which converts by line (UTF-8 after an
// optional byte-order mark, which stays in front), when the common path would accept them and
// the platform's collation keys serve: the bytes that decoding, Run and encoding would give. True
// when it did, Bytes then holding the output; false, Bytes untouched, when another path must sort
// them. Exceptions of the comparisons pass through, Bytes untouched.
bool SortWhereTheyLie(const TOperation& Operation, const Codec::TEncoding& Encoding,
                      std::string& Bytes);

}  // namespace Operations
