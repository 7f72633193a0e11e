// The menu's command identifiers, which the tool also takes as its operations' numbers, and
// what each sort command does.
#pragma once

#include <cstdint>
#include <optional>

#include "sorting/StringRecordListNormalSort.h"

namespace Tarnwick {

enum TCommandId : uint8_t {
  ciCancel = 0,
  ciSortAscending = 1,
  ciSortDescending = 2,
  ciReverseTextAscending = 3,
  ciReverseTextDescending = 4,
  ciNumericAscending = 5,
  ciNumericDescending = 6,
  ciByteLengthAscending = 7,
  ciByteLengthDescending = 8,
  ciReverse = 9,
  ciDuplicationDelete = 10,
  ciDuplicationCount = 11,
  ciDuplicationHighlight = 12,
};

struct TSortCommand {
  StringRecordListNormalSort::TSortKind Kind;
  StringRecordListNormalSort::TSortOrder Order;
};

// The sort kind and order of command 1..9 (reversal is skReverse, descending); nullopt for any
// other identifier.
std::optional<TSortCommand> SortCommandOf(uint8_t CommandId);

// Reorders the lines of List by Command with the list's own sorts, the comparator sort:
// slower than the keyed engine, but it needs neither collation keys nor memory beside the lines.
void SortList(StringRecordListNormalSort::TStringRecordListNormalSort& List, TSortCommand Command);

// Whether the command orders the lines by comparing them (1..8).
constexpr bool ComparesLines(uint8_t CommandId) {
  return CommandId >= ciSortAscending && CommandId <= ciByteLengthDescending;
}

}  // namespace Tarnwick
