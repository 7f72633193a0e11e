// Pieces of the duplicate count that are useful on their own. Used by the tests alone (the
// count's plain reference); the count itself writes its lines without them.
#pragma once

#include <string>
#include <string_view>

namespace Tarnwick {

// Line's body, then Inserted, then Line's own line break (none when it has none).
std::u16string InsertBeforeLineBreak(std::u16string_view Line, std::u16string_view Inserted);

}  // namespace Tarnwick
