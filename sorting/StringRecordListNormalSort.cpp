#include "sorting/StringRecordListNormalSort.h"

#include "base/Exceptions.h"
#include "sorting/Comparators.h"
#include "strings/LineScan.h"

namespace StringRecordListNormalSort {

void TStringRecordListNormalSort::TextSort(TSortOrder SortOrder) { ExecuteSort(skText, SortOrder); }

void TStringRecordListNormalSort::NumericSort(TSortOrder SortOrder) {
  ExecuteSort(skNumeric, SortOrder);
}

void TStringRecordListNormalSort::ByteLengthSort(TSortOrder SortOrder) {
  ExecuteSort(skByteLength, SortOrder);
}

void TStringRecordListNormalSort::ReverseTextSort(TSortOrder SortOrder) {
  ExecuteSort(skReverseText, SortOrder);
}

void TStringRecordListNormalSort::ReverseSort(TSortOrder SortOrder) {
  ExecuteSort(skReverse, SortOrder);
}

void TStringRecordListNormalSort::ExecuteSort(TSortKind SortKind, TSortOrder SortOrder) {
  if (SortOrder != soAscending && SortOrder != soDescending) {
    throw SysUtils::EAssertionFailed("Error:function ExecuteSort");
  }
  if (SortKind != skText && SortKind != skNumeric && SortKind != skByteLength &&
      SortKind != skReverseText && SortKind != skReverse) {
    throw SysUtils::EAssertionFailed("Error:function ExecuteSort");
  }
  if (Count() == 0) return;
  // Every line compares with its break: a last line without one is lent one for the sort. If a
  // comparison throws, the exception leaves from here: the caller discards the list, which
  // still holds every line.
  const FinalBreak::TFinalBreak<char16_t> Final = LendFinalBreak();
  Reorder(SortKind, SortOrder);
  if (Final.Lent()) SetItem(Count() - 1, std::u16string(Final.TakeBack(ItemRef(Count() - 1))));
}

FinalBreak::TFinalBreak<char16_t> TStringRecordListNormalSort::LendFinalBreak() {
  // The text (all lines joined) ends without a break when its last character is neither CR
  // nor LF; that character belongs to the last non-empty line, so the lines need not be joined
  // to find it.
  for (int32_t I = Count() - 1; I >= 0; --I) {
    const std::u16string_view Line = ItemRef(I);
    if (Line.empty()) continue;
    if (!LineScan::BreakOf(Line).empty()) return {};
    break;
  }
  const FinalBreak::TFinalBreak<char16_t> Final(
      ItemRef(Count() - 1), Count() >= 2 ? ItemRef(Count() - 2) : std::u16string_view());
  SetItem(Count() - 1, Final.Last());
  return Final;
}

void TStringRecordListNormalSort::Reorder(TSortKind SortKind, TSortOrder SortOrder) {
  const bool Ascending = SortOrder == soAscending;
  switch (SortKind) {
    case skText:
      FList.Sort(Ascending ? TextCompare : TextCompareDesc);
      break;
    case skNumeric:
      FList.Sort(Ascending ? NumericCompare : NumericCompareDesc);
      break;
    case skByteLength:
      FList.Sort(Ascending ? ByteLengthCompare : ByteLengthCompareDesc);
      break;
    case skReverseText:
      FList.Sort(Ascending ? ReverseTextCompare : ReverseTextCompareDesc);
      break;
    case skReverse:
      if (SortOrder == soDescending) {
        for (int32_t I = 0; I < Count() / 2; ++I) FList.Exchange(I, Count() - 1 - I);
      }
      break;
  }
}

}  // namespace StringRecordListNormalSort
