// The line orders in their plain form, with nothing derived ahead (the shuffle too): comparators
// that compute their keys at every comparison, run through TListClone::Sort, and a last line
// without a break given the break of the line before it while they sort (CR LF for a text of
// one line). The faster engine is checked against this.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/StringRecordList.h"
#include "sorting/LineTies.h"
#include "sorting/StringRecordListNormalSort.h"

namespace PlainSort {

// The numbers of a line by the character-by-character scan, with the platform's half-width
// mapping and a library conversion.
std::vector<int64_t> ExtractNumbers(std::u16string_view Line);

class TPlainSortList : public StringRecordList::TCommonStringRecordList {
 public:
  void ExecuteSort(StringRecordListNormalSort::TSortKind SortKind,
                   StringRecordListNormalSort::TSortOrder SortOrder);
  // Fisher-Yates with Random::TRandom(Seed): place I, from the last down to the second, is
  // exchanged with place Below(I + 1).
  void Shuffle(uint64_t Seed);
  // A last line without a break takes the break of the line before it (CR LF when there is
  // none) while the lines move; true when it did.
  bool LendBreak();
  // The line that ends up last loses the break lent, when one was.
  void TakeBreakBack(bool Added);
};

// The sort command 1..9 on the plain list.
std::u16string Sort(const std::u16string& Text, uint8_t CommandId);
// The shuffle with Seed on the plain list.
std::u16string Shuffle(const std::u16string& Text, uint64_t Seed);
// Sort command 1..8 on the list of the lines' keys, KeyOf of each body followed by the line's
// break, each line then put where its key went. With MeasuredOf, the length orders measure each
// key as MeasuredOf of its body followed by the break, and only ties compare the keys.
// With Ties other than tiAsSorted, a stable sort instead by the comparator of the keys, then
// for tiWholeLine by that of the whole lines (with their breaks) measured by their own text and
// compared without the collation flags, in the command's direction: lines that tie on both keep
// their input order.
std::u16string SortByKeys(
    const std::u16string& Text, uint8_t CommandId,
    const std::function<std::u16string(std::u16string_view Body)>& KeyOf,
    const std::function<std::u16string(std::u16string_view Body)>& MeasuredOf = nullptr,
    LineTies::TTies Ties = LineTies::tiAsSorted);

// SortByKeys as a stable sort: lines whose keys compare equal keep their input order. Ties
// tells whether two lines that differ compare equal.
std::u16string StableSortByKeys(
    const std::u16string& Text, uint8_t CommandId,
    const std::function<std::u16string(std::u16string_view Body)>& KeyOf, bool& Ties,
    const std::function<std::u16string(std::u16string_view Body)>& MeasuredOf = nullptr);

}  // namespace PlainSort
