#include "sorting/StringRecordListNormalSort.h"

#include <new>

#include "base/Exceptions.h"
#include "sorting/Comparators.h"
#include "sorting/KeyedSort.h"
#include "strings/StringUnit.h"

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
  ExecuteSort(SortKind, SortOrder, DefaultSortEngine);
}

void TStringRecordListNormalSort::ExecuteSort(TSortKind SortKind, TSortOrder SortOrder,
                                              TSortEngine Engine) {
  if (SortOrder != soAscending && SortOrder != soDescending) {
    throw SysUtils::EAssertionFailed("Error:function ExecuteSort");
  }
  if (SortKind != skText && SortKind != skNumeric && SortKind != skByteLength &&
      SortKind != skReverseText && SortKind != skReverse) {
    throw SysUtils::EAssertionFailed("Error:function ExecuteSort");
  }
  if (Count() == 0) return;
  // Every line compares with its break, so a last line without one gets a break for the time
  // of the sort: the break of the line before it. If a comparison throws, the exception
  // leaves from here: the caller discards the list, which still holds every line.
  const bool Added = AddMissingFinalBreak();
  Reorder(SortKind, SortOrder, Engine);
  if (Added) TrimFinalBreak();
}

bool TStringRecordListNormalSort::AddMissingFinalBreak() {
  // The text (all lines joined) ends without a break when its last character is neither CR
  // nor LF; that character belongs to the last non-empty line, so the lines need not be joined
  // to find it.
  bool EndsWithBreak = false;
  for (int32_t I = Count() - 1; I >= 0; --I) {
    const std::u16string_view Line = ItemRef(I);
    if (Line.empty()) continue;
    EndsWithBreak = StringUnit::GetLineBreakKind(Line) != StringUnit::lbNone;
    break;
  }
  if (EndsWithBreak) return false;
  SetItem(Count() - 1, std::u16string(ItemRef(Count() - 1)) +
                           std::u16string(StringUnit::LineBreakText(AddedBreakKind())));
  return true;
}

StringUnit::TLineBreakKind TStringRecordListNormalSort::AddedBreakKind() const {
  // The break the line before the last ends in, so that a sort writes no break into the text
  // that it did not already use; CR LF when there is no such break (a text of one line).
  if (Count() >= 2) {
    const StringUnit::TLineBreakKind Kind = StringUnit::GetLineBreakKind(ItemRef(Count() - 2));
    if (Kind != StringUnit::lbNone) return Kind;
  }
  return StringUnit::lbCRLF;
}

void TStringRecordListNormalSort::TrimFinalBreak() {
  const std::u16string_view Last = ItemRef(Count() - 1);
  if (StringUnit::GetLineBreakKind(Last) != StringUnit::lbNone) {
    SetItem(Count() - 1, StringUnit::TrimRightChars(Last, u"\r\n"));
  }
}

void TStringRecordListNormalSort::Reorder(TSortKind SortKind, TSortOrder SortOrder,
                                          TSortEngine Engine) {
  if (SortKind == skReverse) {
    if (SortOrder == soDescending) {
      for (int32_t I = 0; I < Count() / 2; ++I) FList.Exchange(I, Count() - 1 - I);
    }
    return;
  }
  if (Engine == TSortEngine::seKeyed) {
    // The keyed engine needs memory beyond the lines: its key arena (about two bytes per code
    // unit and eight per line, in one block) and a record per line, a lot for a 32-bit editor.
    // Without it the comparator sort below gives the same order and needs no memory of its
    // own. The keyed engine moves the cells only once it has sorted, so a failure leaves them
    // in their first order.
    try {
      if (KeyedSort(FList.List(), FList.Count(), SortKind, SortOrder)) return;
    } catch (const std::bad_alloc&) {
    }
  }
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
      break;
  }
}

}  // namespace StringRecordListNormalSort
