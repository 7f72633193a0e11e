// The keyed sort engine: derives each line's key once, then sorts with the quicksort scheme of
// TListClone::Sort over records carrying the keys, so every comparison answers as the kind's
// comparator would and the resulting order is the same, equal lines included.
#pragma once

#include <cstdint>

#include "TemplateList/ListClone.h"
#include "sorting/StringRecordListNormalSort.h"

namespace StringRecordListNormalSort {

// Reorders the line cells (StringRecordList::LineOf) Cells[0 .. Count - 1] as TListClone::Sort with
// the comparator of Kind (negated for soDescending) would. Kind must compare lines (not skReverse).
// Returns false, leaving the cells untouched, when the platform gives no collation key for a
// line; the caller then sorts with the comparators.
bool KeyedSort(ListClone::PPointerList Cells, int32_t Count, TSortKind Kind, TSortOrder Order);

}  // namespace StringRecordListNormalSort
