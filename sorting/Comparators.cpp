#include "sorting/Comparators.h"

#include <string>

#include "lists/StringRecordList.h"
#include "sorting/NumericKey.h"
#include "strings/StringUnit.h"

namespace StringRecordListNormalSort {

namespace {

std::u16string_view Line(void* Item) { return StringRecordList::LineOf(Item); }

int32_t FromCompareResult(StringUnit::TCompareResult Result) {
  switch (Result) {
    case StringUnit::crLess:
      return -1;
    case StringUnit::crGreater:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

int32_t TextCompare(void* Item1, void* Item2) {
  return FromCompareResult(StringUnit::LocaleCompare(Line(Item1), Line(Item2)));
}

int32_t ReverseTextCompare(void* Item1, void* Item2) {
  std::u16string Text1(Line(Item1)), Text2(Line(Item2));
  StringUnit::ReadFromEnd(Text1);
  StringUnit::ReadFromEnd(Text2);
  return FromCompareResult(StringUnit::LocaleCompare(Text1, Text2));
}

int32_t NumericCompare(void* Item1, void* Item2) {
  const int32_t Result =
      CompareNumberKeys(ExtractNumbers(Line(Item1)), ExtractNumbers(Line(Item2)));
  return Result != 0 ? Result : TextCompare(Item1, Item2);
}

int32_t ByteLengthCompare(void* Item1, void* Item2) {
  return MeasuredCompare(StringUnit::ByteLength(Line(Item1)), Line(Item1),
                         StringUnit::ByteLength(Line(Item2)), Line(Item2));
}

int32_t MeasuredCompare(int32_t Measure1, std::u16string_view Line1, int32_t Measure2,
                        std::u16string_view Line2) {
  if (Measure1 < Measure2) return -1;
  if (Measure1 > Measure2) return 1;
  return FromCompareResult(StringUnit::LocaleCompare(Line1, Line2));
}

int32_t CompareInOrder(TSortKind Kind, std::u16string_view Line1, int32_t Measure1,
                       std::u16string_view Line2, int32_t Measure2, uint32_t Flags) {
  const auto Text = [Flags](std::u16string_view A, std::u16string_view B) {
    return FromCompareResult(StringUnit::LocaleCompare(A, B, Flags));
  };
  switch (Kind) {
    case skReverseText: {
      std::u16string Text1(Line1), Text2(Line2);
      StringUnit::ReadFromEnd(Text1, Flags);
      StringUnit::ReadFromEnd(Text2, Flags);
      return Text(Text1, Text2);
    }
    case skNumeric: {
      const int32_t Result = CompareNumberKeys(ExtractNumbers(Line1), ExtractNumbers(Line2));
      return Result != 0 ? Result : Text(Line1, Line2);
    }
    case skByteLength:
      if (Measure1 != Measure2) return Measure1 < Measure2 ? -1 : 1;
      return Text(Line1, Line2);
    default:
      return Text(Line1, Line2);
  }
}

// Descending orders negate the ascending comparison with the arguments in the same order, so
// lines that compare equal are left where the quicksort puts them, not reversed.
int32_t TextCompareDesc(void* Item1, void* Item2) { return -TextCompare(Item1, Item2); }
int32_t ReverseTextCompareDesc(void* Item1, void* Item2) {
  return -ReverseTextCompare(Item1, Item2);
}
int32_t NumericCompareDesc(void* Item1, void* Item2) { return -NumericCompare(Item1, Item2); }
int32_t ByteLengthCompareDesc(void* Item1, void* Item2) { return -ByteLengthCompare(Item1, Item2); }

}  // namespace StringRecordListNormalSort
