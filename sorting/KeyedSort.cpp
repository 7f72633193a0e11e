#include "sorting/KeyedSort.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sorting/CollationKeys.h"
#include "sorting/NumericKey.h"
#include "strings/StringUnit.h"

namespace StringRecordListNormalSort {

namespace {

// What the quicksort moves: small, so that most comparisons are decided without leaving the
// record array.
struct TSortRecord {
  uint64_t Prefix;  // the first eight bytes of the line's collation key (TCollationKeys::Prefix)
  int32_t Index;    // the line's position before the sort: indexes the key tables
  int32_t Measure;  // skByteLength: the line's byte length
};

const std::u16string& Line(ListClone::PPointerList Cells, int32_t I) {
  return *static_cast<const std::u16string*>(Cells[I]);
}

// The numeric keys of all lines in one array.
class TNumberKeys {
 public:
  explicit TNumberKeys(size_t Count) { FOffsets.reserve(Count + 1); }
  void Add(std::u16string_view Line) {
    FScanner.Scan(Line, FValues);
    FOffsets.push_back(FValues.size());
  }
  std::span<const int64_t> Key(int32_t I) const {
    return {FValues.data() + FOffsets[I], FOffsets[I + 1] - FOffsets[I]};
  }

 private:
  TNumberScanner FScanner;
  TInt64DynArray FValues;
  std::vector<size_t> FOffsets = {0};
};

// The comparisons on records. Each answers as the comparator of its kind on the two lines:
// bytewise order of collation keys is the order of LocaleCompare.
struct TTextOrder {
  const TCollationKeys& Keys;
  int32_t operator()(const TSortRecord& A, const TSortRecord& B) const {
    if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix ? -1 : 1;
    return Keys.CompareAfterPrefix(A.Index, B.Index);
  }
};

struct TByteLengthOrder {
  TTextOrder Text;
  int32_t operator()(const TSortRecord& A, const TSortRecord& B) const {
    if (A.Measure != B.Measure) return A.Measure < B.Measure ? -1 : 1;
    return Text(A, B);
  }
};

struct TNumericOrder {
  const TNumberKeys& Numbers;
  TTextOrder Text;
  int32_t operator()(const TSortRecord& A, const TSortRecord& B) const {
    const int32_t Result = CompareNumberKeys(Numbers.Key(A.Index), Numbers.Key(B.Index));
    return Result != 0 ? Result : Text(A, B);
  }
};

// The descending comparison: the ascending one with the same arguments, negated.
template <typename TOrder>
struct TDescending {
  TOrder Ascending;
  int32_t operator()(const TSortRecord& A, const TSortRecord& B) const { return -Ascending(A, B); }
};

// ListClone::QuickSort step for step (middle pivot read once per pass, the same I and J
// moves, recursion into the smaller part), so equal comparisons give the same permutation.
template <typename TOrder>
void QuickSortRecords(TSortRecord* Records, int32_t L, int32_t R, const TOrder& Compare) {
  do {
    int32_t I = L;
    int32_t J = R;
    const TSortRecord P = Records[L + (R - L) / 2];
    do {
      while (Compare(Records[I], P) < 0) ++I;
      while (Compare(Records[J], P) > 0) --J;
      if (I <= J) {
        std::swap(Records[I], Records[J]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (J - L < R - I) {
      if (L < J) QuickSortRecords(Records, L, J, Compare);
      L = I;
    } else {
      if (I < R) QuickSortRecords(Records, I, R, Compare);
      R = J;
    }
  } while (L < R);
}

template <typename TOrder>
void SortRecords(std::vector<TSortRecord>& Records, TSortOrder Order, const TOrder& Ascending) {
  const auto Last = static_cast<int32_t>(Records.size()) - 1;
  if (Order == soAscending) {
    QuickSortRecords(Records.data(), 0, Last, Ascending);
  } else {
    QuickSortRecords(Records.data(), 0, Last, TDescending<TOrder>{Ascending});
  }
}

}  // namespace

bool KeyedSort(ListClone::PPointerList Cells, int32_t Count, TSortKind Kind, TSortOrder Order) {
  if (Count <= 0) return true;

  size_t Units = 0;
  for (int32_t I = 0; I < Count; ++I) Units += Line(Cells, I).size();

  // Every kind falls back to (or consists of) the dictionary order, so every line needs its
  // collation key; the order read from the end keys the reversed line instead.
  TCollationKeys Keys;
  Keys.Reserve(static_cast<size_t>(Count), Units);
  std::u16string Reversed;
  for (int32_t I = 0; I < Count; ++I) {
    const std::u16string& Text = Line(Cells, I);
    if (Kind == skReverseText) {
      Reversed.assign(Text.rbegin(), Text.rend());
      if (!Keys.Add(Reversed)) return false;
    } else {
      if (!Keys.Add(Text)) return false;
    }
  }

  std::vector<TSortRecord> Records(static_cast<size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) {
    Records[I].Prefix = Keys.Prefix(I);
    Records[I].Index = I;
    Records[I].Measure = Kind == skByteLength ? StringUnit::ByteLength(Line(Cells, I)) : 0;
  }

  const TTextOrder Text{Keys};
  if (Kind == skNumeric) {
    TNumberKeys Numbers(static_cast<size_t>(Count));
    for (int32_t I = 0; I < Count; ++I) Numbers.Add(Line(Cells, I));
    SortRecords(Records, Order, TNumericOrder{Numbers, Text});
  } else if (Kind == skByteLength) {
    SortRecords(Records, Order, TByteLengthOrder{Text});
  } else {
    SortRecords(Records, Order, Text);
  }

  // Move the cells into the order the records ended in.
  std::vector<void*> Sorted(static_cast<size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) Sorted[I] = Cells[Records[I].Index];
  std::copy(Sorted.begin(), Sorted.end(), Cells);
  return true;
}

}  // namespace StringRecordListNormalSort
