// The line orders in their plain form, with nothing derived ahead: comparators that
// compute their keys at every comparison, run through TListClone::Sort, and a last line
// without a break given the break of the line before it while they sort (CR LF for a text of
// one line). The faster engine is checked against this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lists/StringRecordList.h"
#include "sorting/StringRecordListNormalSort.h"

namespace PlainSort {

// The numbers of a line by the character-by-character scan, with the platform's half-width
// mapping and a library conversion.
std::vector<int64_t> ExtractNumbers(std::u16string_view Line);

class TPlainSortList : public StringRecordList::TCommonStringRecordList {
 public:
  void ExecuteSort(StringRecordListNormalSort::TSortKind SortKind,
                   StringRecordListNormalSort::TSortOrder SortOrder);
};

// The sort command 1..9 on the plain list.
std::u16string Sort(const std::u16string& Text, uint8_t CommandId);

}  // namespace PlainSort
