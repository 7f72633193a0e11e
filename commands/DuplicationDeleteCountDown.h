// Pieces of the duplicate count that are useful on their own.
#pragma once

#include <string>
#include <string_view>

namespace Tarnwick {

// Line's body, then Inserted, then Line's own line break (none when it has none).
std::u16string InsertBeforeLineBreak(std::u16string_view Line, std::u16string_view Inserted);

}  // namespace Tarnwick
