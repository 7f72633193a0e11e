// The sort commands on a line list that the caller fills and reads itself, for callers that
// convert the text line by line rather than hold it whole beside the lines.
#pragma once

#include <cstdint>

#include "sorting/StringRecordListNormalSort.h"

namespace Tarnwick {

// Reorders the lines of List by command 1..9 as Sort does on their text; other identifiers
// throw SysUtils::EAssertionFailed "Error:function Sort" before anything changes.
void SortList(StringRecordListNormalSort::TStringRecordListNormalSort& List, uint8_t CommandId);

}  // namespace Tarnwick
