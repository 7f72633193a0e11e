// How a sort orders lines whose keys compare equal: as its quicksort leaves them (the plug-in's
// sorts, the tool without its own options), by the whole lines and then their input order (the
// tool's last resort, as sort's), or in input order alone (the tool's --stable).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sorting/StringRecordListNormalSort.h"

namespace LineTies {

using StringRecordListNormalSort::TSortKind;
using StringRecordListNormalSort::TSortOrder;

enum class TTies : uint8_t {
  tiAsSorted = 0,    // where the sort leaves them
  tiWholeLine = 1,   // by the whole lines in the sort's kind and order, then in input order
  tiInputOrder = 2,  // in input order
};
using enum TTies;

// The lines being sorted, by their numbers before the sort. Called from several threads at once.
class TTieLines {
 public:
  virtual ~TTieLines() = default;
  // What line I is ordered by (its key), in Scratch or a view of the line's own; and the byte
  // measure by which the length orders order it.
  virtual std::u16string_view Key(uint32_t I, std::u16string& Scratch) const = 0;
  virtual int32_t Measure(uint32_t I, std::u16string& Scratch) const = 0;
  // The whole line I, its break included (a last line without one with the break it borrows).
  virtual std::u16string_view Whole(uint32_t I, std::u16string& Scratch) const = 0;
};

// Replaces Out with bytes that compare, byte by byte, as the whole line Line compares in Kind's
// (not skReverse) ascending order without the collation flags, as Settle compares whole lines.
// False when the platform gives no collation key. Scratch is the caller's.
bool WholeLineKey(TSortKind Kind, std::u16string_view Line, std::string& Out,
                  std::u16string& Scratch);

// Sorted holds the line numbers in the order of Kind (not skReverse) and Order by their keys;
// reorders each run of lines whose keys compare equal (with the collation flags set) as Ties
// says. The whole lines compare as the sort compares lines without a key: by their measures
// (ByteLength) for the length orders, their numbers and then their text for the numeric ones,
// and their text read as the kind reads it, but without the collation flags (--natural), under
// which different lines (file2, file02) may compare equal. Nothing changes for tiAsSorted.
// Exceptions of the comparisons pass through.
void Settle(std::span<uint32_t> Sorted, const TTieLines& Lines, TSortKind Kind, TSortOrder Order,
            TTies Ties);

}  // namespace LineTies
