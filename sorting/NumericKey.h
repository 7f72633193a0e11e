// Numeric keys of lines: the integers written in a line, left to right, and their order.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace StringRecordListNormalSort {

using TInt64DynArray = std::vector<int64_t>;

// The character of S at the 1-based Index; NUL when Index < 1 or Index > Length(S).
char16_t CharAt(std::u16string_view S, int32_t Index);

// The integers of Line in the order they occur: ASCII or full-width digits, an optional sign
// that spaces may separate from them, commas between digits skipped. Values outside the signed
// 64-bit range are left out; a line without numbers gives an empty key.
TInt64DynArray ExtractNumbers(std::u16string_view Line);

// -1, 0 or +1: element by element as signed integers, then the shorter key first.
int32_t CompareNumberKeys(std::span<const int64_t> K1, std::span<const int64_t> K2);

// Extracts the keys of many lines into one array of the caller's, so that keying a whole list
// allocates nothing per line.
class TNumberScanner {
 public:
  // Appends the numbers of Line (as ExtractNumbers gives them) to Key.
  void Scan(std::u16string_view Line, TInt64DynArray& Key);
};

}  // namespace StringRecordListNormalSort

// The keyed engine's form of the keys: numbers as byte strings that compare as the keys do.
namespace KeyedSort {

// The most bytes OrderedBytes writes for one number.
constexpr size_t MaxOrderedBytes = 9;

// Writes Value to Out as 1 to 9 bytes, none of them zero, and returns how many. Keys written
// number after number compare bytewise (a key that is a prefix of the other first) as
// CompareNumberKeys compares them: the codes keep the numbers' order, and no code is the
// beginning of another.
size_t OrderedBytes(int64_t Value, uint8_t* Out);

}  // namespace KeyedSort
