// The quicksort of the keyed engine over records that carry their line's keys. It moves the
// records exactly as ListClone::QuickSort moves the cells, so a consistent comparison gives
// the list's permutation; whatever the comparison answers, it only ever touches records
// inside the range it was given and ends with each record present exactly once.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "TemplateList/ListClone.h"
#include "sorting/CollationKeys.h"

namespace KeyedSort::RecordSort {

// What the sort moves: a record with Index, the line's position before the sort, which
// indexes Cells and the key tables. A record with collation key bytes in Prefix (bytes
// Depth .. Depth + 7 of its key) and maybe Prefix2 (32 bits: bytes Depth + 8 .. Depth + 11)
// has them moved deeper where a range shares them.
// TOrder is called as Compare(A, B, Depth) and answers -1, 0 or +1 as the line comparator
// would, Depth being the number of leading key bytes every record of the range shares; it
// may be called from several threads at once.
template <typename TRecord>
concept PrefixedRecord = requires(TRecord R) {
  R.Prefix;
};
template <typename TRecord>
concept TwoPrefixRecord = requires(TRecord R) {
  R.Prefix2;
};

// An order that moves records deeper itself, rather than by collation key bytes: it provides
// Deepen(Records, L, R, Depth, Exhausted), which may change the records of the range and
// increase Depth when they all share more than Depth tells, and Restore(Record), which takes a
// record back to depth 0.
template <typename TOrder, typename TRecord>
concept DeepeningOrder = requires(const TOrder& Order, TRecord* Records, TRecord& Record,
                                  size_t& Depth, bool& Exhausted) {
  Order.Deepen(Records, int32_t{0}, int32_t{0}, Depth, Exhausted);
  Order.Restore(Record);
};

// How many key bytes a prefixed record carries.
template <typename TRecord>
constexpr size_t PrefixBytes = TwoPrefixRecord<TRecord> ? 12 : 8;

// Sets the prefixes of record R from the bytes Depth on of key R.Index.
template <typename TRecord>
void LoadPrefix(TRecord& R, const TCollationKeys& Keys, size_t Depth) {
  R.Prefix = Keys.Prefix(static_cast<size_t>(R.Index), Depth);
  if constexpr (TwoPrefixRecord<TRecord>) {
    R.Prefix2 = static_cast<uint32_t>(Keys.Prefix(static_cast<size_t>(R.Index), Depth + 8) >> 32);
  }
}

// Sets the prefixes of record R from the PrefixBytes<TRecord> bytes at Bytes.
template <typename TRecord>
void SetPrefix(TRecord& R, const uint8_t* Bytes) {
  R.Prefix = 0;
  for (size_t K = 0; K < 8; ++K) R.Prefix = (R.Prefix << 8) | Bytes[K];
  if constexpr (TwoPrefixRecord<TRecord>) {
    R.Prefix2 = 0;
    for (size_t K = 8; K < 12; ++K) R.Prefix2 = (R.Prefix2 << 8) | Bytes[K];
  }
}

// Moves the prefixes of record R, which hold the bytes Depth on of key R.Index, By (<= 8)
// bytes deeper. The bytes still held are kept rather than read again: keys made with a head
// (TCollationKeys::Divide) can be read only past it.
template <typename TRecord>
void AdvancePrefix(TRecord& R, const TCollationKeys& Keys, size_t Depth, size_t By) {
  constexpr size_t Held = PrefixBytes<TRecord>;
  uint8_t Bytes[Held + 8];
  for (size_t K = 0; K < 8; ++K) Bytes[K] = static_cast<uint8_t>(R.Prefix >> (56 - 8 * K));
  if constexpr (TwoPrefixRecord<TRecord>) {
    for (size_t K = 0; K < 4; ++K) Bytes[8 + K] = static_cast<uint8_t>(R.Prefix2 >> (24 - 8 * K));
  }
  const uint64_t Next = Keys.Prefix(static_cast<size_t>(R.Index), Depth + Held);
  for (size_t K = 0; K < 8; ++K) Bytes[Held + K] = static_cast<uint8_t>(Next >> (56 - 8 * K));
  SetPrefix(R, Bytes + By);
}

// Sorts Records[L .. R] (L <= R) as ListClone::QuickSort would with Compare, charging each
// pass's range size to Budget; false, leaving the range half-sorted, once it runs out.
template <typename TRecord, typename TOrder>
bool QuickSortRecords(TRecord* Records, int32_t L, int32_t R, const TOrder& Compare,
                      const TCollationKeys& Keys, size_t Depth, bool Exhausted, int64_t& Budget);

// Sorts Records (Records[I].Index == I on entry) into the order the quicksort gives, in
// O(n log n) even on inputs that drive the middle pivot to quadratic time whenever the text
// cannot show the difference. Keys are the lines' collation keys for prefixed records. Large
// ranges are split between Parallel::ThreadCount() threads; the result is the same for any.
// Same(I, J) tells whether lines I and J are the same code unit for code unit.
template <typename TRecord, typename TOrder, typename TSame>
void SortRecords(const TSame& Same, std::vector<TRecord>& Records, const TOrder& Compare,
                 const TCollationKeys& Keys);

}  // namespace KeyedSort::RecordSort

#include "sorting/RecordQuickSortImpl.h"
