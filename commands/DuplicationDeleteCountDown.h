// Pieces of the duplicate count that are useful on their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Tarnwick {

// Line's body, then Inserted, then Line's own line break (none when it has none).
std::u16string InsertBeforeLineBreak(std::u16string_view Line, std::u16string_view Inserted);

// The indices of Counts ordered by count, highest first, equal counts by index. Raises
// SysUtils::EAssertionFailed "Error:function DuplicationDeleteCountDown" when a count lies
// outside 1..Highest, since that line would be missing from the output.
std::vector<uint32_t> OrderByCountDescending(const std::vector<int32_t>& Counts, int32_t Highest);

}  // namespace Tarnwick
