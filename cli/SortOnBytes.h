// The sort operations on the bytes of a file in an encoding that converts by line (UTF-8,
// Shift_JIS, EUC-JP), converted to UTF-16 and back a piece at a time, so that neither the
// whole text nor the whole result is held in UTF-16 beside the lines.
#pragma once

#include <string>

#include "cli/Codec.h"
#include "cli/Operations.h"

namespace Operations {

// Runs sort operation 1..8 on Bytes when Encoding converts by line (Codec::ConvertsByLine)
// and the common path would accept them (a UTF-8 byte-order mark stays in front): the bytes
// that decoding, Run and encoding would give. True when it did, Bytes then holding the output;
// false, Bytes untouched, when the text must take the common path. Exceptions of the commands pass
// through, after which Bytes may be empty.
bool SortOnBytes(const TOperation& Operation, const Codec::TEncoding& Encoding, std::string& Bytes);

}  // namespace Operations
