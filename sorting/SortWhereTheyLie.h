// The sort of a text's lines where they lie: the keyed engine reads each line from the text
// itself, as UTF-16 only while it makes the line's keys, and the text is written once in its
// new order, so no line list and no UTF-16 copy of the text is made. The plug-in sorts the
// editor's UTF-16 text so, the tool the bytes of UTF-8, Shift_JIS and EUC-JP files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sorting/LineTies.h"
#include "sorting/StringRecordListNormalSort.h"

namespace KeyedSort {

using StringRecordListNormalSort::TSortKind;
using StringRecordListNormalSort::TSortOrder;

// Turns a line of a text's bytes into the UTF-16 its keys are made from. Called from several
// threads at once.
class TLineDecoder {
 public:
  virtual ~TLineDecoder() = default;
  // Line (a whole line of a text known to decode, break included) as UTF-16, in Scratch (each
  // thread passes its own). No line may give more code units than it has bytes.
  virtual std::u16string_view Decode(std::string_view Line, std::u16string& Scratch) const = 0;
  // The byte measure by which the length orders order Line: by default that of its UTF-16.
  virtual int32_t Measure(std::string_view Line, std::u16string& Scratch) const;
  // Line itself as UTF-16, in Scratch, where Decode gives a key of it: by default Decode.
  virtual std::u16string_view Whole(std::string_view Line, std::u16string& Scratch) const;
};

// Turns a line of a UTF-16 text into what it is ordered by (a part of it, say). Called from
// several threads at once.
class TLineView {
 public:
  virtual ~TLineView() = default;
  // What Line (a whole line, break included) is ordered by: a view of Line, or of the whole of
  // Scratch (each thread passes its own). No line may give more code units than it has.
  virtual std::u16string_view View(std::u16string_view Line, std::u16string& Scratch) const = 0;
  // The byte measure by which the length orders order Line.
  virtual int32_t Measure(std::u16string_view Line, std::u16string& Scratch) const = 0;
};

// Sorted becomes Text with its lines ordered by Kind (not skReverse) and Order exactly as the
// line list's sort orders them, equal lines included: a last line without a break takes, for
// the sort, the break of the line before it, which the line that ends up last then loses.
// False, Sorted unspecified, when the keys cannot be had (the platform gives no collation key
// for a line, or memory runs out) or the text is too large for the engine (32-bit offsets, more
// lines than a list holds); the caller then sorts with the list. Exceptions of the comparisons
// pass through.
bool SortWhereTheyLie(std::u16string_view Text, TSortKind Kind, TSortOrder Order,
                      std::u16string& Sorted);

// The same with each line ordered as View gives it (the text written is Text's own lines), and
// lines whose views compare equal then ordered as Ties says (LineTies::Settle).
bool SortWhereTheyLie(std::u16string_view Text, const TLineView& View, TSortKind Kind,
                      TSortOrder Order, std::u16string& Sorted,
                      LineTies::TTies Ties = LineTies::tiAsSorted);

// The same on the bytes of Bytes after its first Base (a byte-order mark, which stays in
// front), whose lines Decoder turns into UTF-16.
bool SortWhereTheyLie(std::string_view Bytes, size_t Base, const TLineDecoder& Decoder,
                      TSortKind Kind, TSortOrder Order, std::string& Sorted,
                      LineTies::TTies Ties = LineTies::tiAsSorted);

}  // namespace KeyedSort
