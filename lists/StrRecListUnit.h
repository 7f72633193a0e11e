// Line lookup on a string list that ignores how the lines end.
// Used by the tests alone (the duplicate commands' plain reference); no command needs it.
#pragma once

#include <cstdint>
#include <string_view>

#include "lists/StringRecordList.h"

namespace StrRecListUnit {

// The lowest index of List whose line body (the line without its one terminating CR LF, CR or
// LF) equals the body of Line code unit for code unit, or -1. Scans from index 0 on every call.
int32_t IndexOfLine(const StringRecordList::TCommonStringRecordList& List,
                    std::u16string_view Line);

}  // namespace StrRecListUnit
