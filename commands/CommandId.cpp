#include "commands/CommandId.h"

namespace Tarnwick {

std::optional<TSortCommand> SortCommandOf(uint8_t CommandId) {
  using namespace StringRecordListNormalSort;
  // The menu pairs each order's ascending and descending commands, in this order of kinds.
  static constexpr TSortKind Kinds[] = {skText, skReverseText, skNumeric, skByteLength};
  if (CommandId == ciReverse) return TSortCommand{skReverse, soDescending};
  if (!ComparesLines(CommandId)) return std::nullopt;
  const unsigned Pair = CommandId - ciSortAscending;
  return TSortCommand{Kinds[Pair / 2], Pair % 2 == 0 ? soAscending : soDescending};
}

}  // namespace Tarnwick
