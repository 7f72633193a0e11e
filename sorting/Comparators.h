// The comparators of the sort orders: TListCloneSortCompare functions over two line cells
// (read with StringRecordList::LineOf), each deriving its keys afresh. Results are -1, 0 or +1. A
// failing platform comparison throws SysUtils::Exception.
#pragma once

#include <cstdint>
#include <string_view>

#include "sorting/StringRecordListNormalSort.h"

namespace StringRecordListNormalSort {

// Dictionary order of the whole lines, breaks included.
int32_t TextCompare(void* Item1, void* Item2);
int32_t TextCompareDesc(void* Item1, void* Item2);
// Dictionary order of the lines read from their ends (StringUnit::ReadFromEnd).
int32_t ReverseTextCompare(void* Item1, void* Item2);
int32_t ReverseTextCompareDesc(void* Item1, void* Item2);
// Numeric keys of the lines; equal keys fall back to TextCompare.
int32_t NumericCompare(void* Item1, void* Item2);
int32_t NumericCompareDesc(void* Item1, void* Item2);
// Byte lengths of the lines; equal lengths fall back to TextCompare.
int32_t ByteLengthCompare(void* Item1, void* Item2);
int32_t ByteLengthCompareDesc(void* Item1, void* Item2);
// ByteLengthCompare of two lines measured by the caller: Measure1 against Measure2, then the
// dictionary order of Line1 and Line2.
int32_t MeasuredCompare(int32_t Measure1, std::u16string_view Line1, int32_t Measure2,
                        std::u16string_view Line2);

// Line1 against Line2 as the ascending comparator of Kind (not skReverse) compares them, the
// dictionary order with the collation flags Flags in place of those set, the length orders
// taking Measure1 and Measure2 as the lines' byte measures.
int32_t CompareInOrder(TSortKind Kind, std::u16string_view Line1, int32_t Measure1,
                       std::u16string_view Line2, int32_t Measure2, uint32_t Flags);

}  // namespace StringRecordListNormalSort
