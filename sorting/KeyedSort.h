// The keyed sort engine: derives each line's key once, then sorts with the quicksort scheme of
// TListClone::Sort over records carrying the keys, so every comparison answers as the kind's
// comparator would and the resulting order is the same as the line list's, equal lines
// included. It reads the lines through a TLineSource (see sorting/SortWhereTheyLie.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sorting/StringRecordListNormalSort.h"

namespace KeyedSort {

using StringRecordListNormalSort::TSortKind;
using StringRecordListNormalSort::TSortOrder;

// The lines to sort, kept by the caller in a form of its own. Called from several threads at
// once.
class TLineSource {
 public:
  virtual ~TLineSource() = default;
  // Line I's code units: a view of the source's own, or of the whole of Scratch (each thread
  // passes its own).
  virtual std::u16string_view Text(size_t I, std::u16string& Scratch) const = 0;
  // Calls Visit(I, Text(I)) for lines Begin .. End - 1 in turn: how the sort reads the lines
  // while it makes their keys. The text passed lasts until the next call.
  using TVisit = std::function<void(size_t I, std::u16string_view Text)>;
  virtual void ForEachText(size_t Begin, size_t End, const TVisit& Visit) const = 0;
  // Whether lines I and J are the same code unit for code unit.
  virtual bool Same(size_t I, size_t J) const = 0;
  // A hash of line I's code units: lines that are Same hash alike.
  virtual size_t Hash(size_t I) const = 0;
  // Asks the processor to fetch line I, which Same is about to read.
  virtual void Prefetch(size_t I) const = 0;
  // At least as many as the code units of lines Begin .. End - 1 together, found without
  // making them (to size the keys).
  virtual size_t UnitsAtMost(size_t Begin, size_t End) const = 0;
  // Calls Measure(I, M) for lines Begin .. End - 1 in turn, M the byte measure by which the
  // length orders order line I before its text decides.
  using TMeasure = std::function<void(size_t I, int32_t Measure)>;
  virtual void ForEachMeasure(size_t Begin, size_t End, const TMeasure& Measure) const = 0;
};

// The order the list's sort by Kind (not skReverse) and Order gives Source's Count lines,
// handed to Take: Sorted[K] is the line that goes to place K. Sorted lies in the sort's own
// memory, which Take may write over and which is freed once it returns. False, without calling
// Take, when the platform gives no collation key for a line. Exceptions of the comparisons and
// std::bad_alloc pass through.
bool Sort(const TLineSource& Source, int32_t Count, TSortKind Kind, TSortOrder Order,
          const std::function<void(std::span<uint32_t> Sorted)>& Take);

}  // namespace KeyedSort
