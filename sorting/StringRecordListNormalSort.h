// The line list with its sort orders: dictionary order, dictionary order read from the end of
// each line, by the integers in the lines, by byte length, and reversal.
#pragma once

#include <cstdint>

#include "lists/StringRecordList.h"
#include "strings/FinalBreak.h"
#include "strings/StringUnit.h"

namespace StringRecordListNormalSort {

enum class TSortOrder : uint8_t { soAscending = 0, soDescending = 1 };
using enum TSortOrder;

enum class TSortKind : uint8_t {
  skText = 0,
  skNumeric = 1,
  skByteLength = 2,
  skReverseText = 3,
  skReverse = 4,
};
using enum TSortKind;

class TStringRecordListNormalSort : public StringRecordList::TCommonStringRecordList {
 public:
  // Each reorders the lines in place; a text without a final break keeps it missing. While
  // they sort, its last line carries the break of the line before it (CR LF for one line).
  // Descending orders use the negated comparison, not a reversed ascending result.
  void TextSort(TSortOrder SortOrder);
  void NumericSort(TSortOrder SortOrder);
  void ByteLengthSort(TSortOrder SortOrder);
  void ReverseTextSort(TSortOrder SortOrder);
  // soDescending reverses the lines; soAscending leaves them as they are.
  void ReverseSort(TSortOrder SortOrder);

 protected:
  // The engine behind the five orders: TListClone::Sort with the order's comparator, which
  // derives the lines' keys at each comparison. A kind or order outside the enumerations
  // raises "Error:function ExecuteSort" before anything changes.
  void ExecuteSort(TSortKind SortKind, TSortOrder SortOrder);

 private:
  // Lends the last line a break when the text ends without one, and says which.
  FinalBreak::TFinalBreak<char16_t> LendFinalBreak();
  void Reorder(TSortKind SortKind, TSortOrder SortOrder);
};

}  // namespace StringRecordListNormalSort
