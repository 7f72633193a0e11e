// TListClone: a growable array of untyped pointers with index-checked access, a fixed growth
// rule, an in-place quicksort and set-style Assign. It never owns what its items point to.
#pragma once

#include <cstdint>
#include <utility>

namespace ListClone {

constexpr int32_t MaxListSize = 134217727;  // 0x7FFFFFF slots

using TPointerList = void* [MaxListSize];
using PPointerList = void**;

enum class TListCloneChange : uint8_t { lcAdded = 0, lcExtracted = 1, lcDeleted = 2 };
using enum TListCloneChange;

enum class TListCloneAssignOp : uint8_t {
  laCopy = 0,
  laAnd = 1,
  laOr = 2,
  laXor = 3,
  laSrcUnique = 4,
  laDestUnique = 5,
};
using enum TListCloneAssignOp;

// Negative when Item1 sorts before Item2, zero when equal, positive when after.
using TListCloneSortCompare = int32_t (*)(void* Item1, void* Item2);

class TListClone {
 public:
  TListClone() = default;
  TListClone(const TListClone&) = delete;
  TListClone& operator=(const TListClone&) = delete;
  virtual ~TListClone();

  // Index-checked access; a bad index raises the list error (EAssertionFailed "Listエラー").
  void* GetItem(int32_t Index) const;
  void* First() const { return GetItem(0); }
  void* Last() const { return GetItem(FCount - 1); }
  void* operator[](int32_t Index) const { return GetItem(Index); }

  // Appends Item (growing by the growth rule when full) and returns its index.
  int32_t Add(void* Item);
  // Inserts at 0 <= Index <= Count, moving later items up.
  void Insert(int32_t Index, void* Item);
  void Delete(int32_t Index);
  // Deletes the first occurrence of Item; returns its former index or -1.
  int32_t Remove(void* Item);
  // Removes the first occurrence of Item without a delete notification; null when absent.
  void* Extract(void* Item);
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Lowest index holding Item (pointer equality), or -1.
  int32_t IndexOf(void* Item) const;
  TListClone* Expand();
  // Deletes every null item, keeping the order of the rest.
  void Pack();
  // Empties the list and releases the slot array.
  virtual void Clear();
  // Quicksort with the middle element as pivot; the scheme fixes the order of equal items.
  void Sort(TListCloneSortCompare Compare);
  // Set operation of ListA (and ListB, when given) into this list; see TListCloneAssignOp.
  void Assign(TListClone* ListA, TListCloneAssignOp AOperator = laCopy,
              TListClone* ListB = nullptr);

  int32_t Count() const { return FCount; }
  void SetCount(int32_t NewCount);
  int32_t Capacity() const { return FCapacity; }
  void SetCapacity(int32_t NewCapacity);
  PPointerList List() const { return FList; }

  // Raises the list error; Msg and Data describe the failed check but are not shown.
  [[noreturn]] static void Error(const char* Msg, int32_t Data);

 protected:
  virtual void GrowCapacity();
  virtual void NotifyChange(void* Item, TListCloneChange Change);

 private:
  void CheckIndex(int32_t Index) const;

  PPointerList FList = nullptr;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};

// The index-range quicksort behind TListClone::Sort, usable on any pointer array.
void QuickSort(PPointerList SortList, int32_t L, int32_t R, TListCloneSortCompare SCompare);

// One partition pass of QuickSort over Items[L .. R] (L <= R) with Compare(Item, Pivot), the
// middle item being the pivot, read once. Leaves I and J where the two parts start and end:
// Items[L .. J] and Items[I .. R] are still to sort, both smaller than the range whatever
// Compare answers, and no item outside the range is read or written.
template <typename TItem, typename TCompare>
void PartitionPass(TItem* Items, int32_t L, int32_t R, TCompare&& Compare, int32_t& I, int32_t& J) {
  I = L;
  J = R;
  const TItem P = Items[L + (R - L) / 2];
  do {
    // A comparison that answers the same for the same pair stops each scan inside the range:
    // the I scan at the pivot or at the item the J scan last left behind, and the J scan
    // likewise. The bounds only take effect for one that does not (a sort key that disagrees
    // with the comparison, a locale order that is not transitive), which could otherwise walk
    // the scans out of the array.
    while (I <= R && Compare(Items[I], P) < 0) ++I;
    while (J >= L && Compare(Items[J], P) > 0) --J;
    if (I <= J) {
      std::swap(Items[I], Items[J]);
      ++I;
      --J;
    }
  } while (I <= J);
  // A pass that swapped at least once leaves both parts smaller than [L, R]; only a
  // comparison that contradicts itself can keep a scan from stopping, and then the item at
  // the far end is taken as placed so that every pass still shrinks the range.
  if (J >= R) {
    J = R - 1;
    I = R;
  } else if (I <= L) {
    I = L + 1;
    J = L;
  }
}

// QuickSort over Items[L .. R] with any Compare(Item1, Item2): the same passes, so the same
// order for the same answers.
template <typename TItem, typename TCompare>
void QuickSortWith(TItem* Items, int32_t L, int32_t R, TCompare&& Compare) {
  // Each pass partitions [L, R] into the disjoint ranges [L, J] and [I, R]. Sorting the
  // smaller one by recursion and the larger one by iteration bounds the stack depth by
  // log2(Count) on any input; the order in which the two ranges are sorted does not affect
  // the result. The first pass runs even on a one-item range, as callers may observe.
  do {
    int32_t I;
    int32_t J;
    PartitionPass(Items, L, R, Compare, I, J);
    if (J - L < R - I) {
      if (L < J) QuickSortWith(Items, L, J, Compare);
      L = I;
    } else {
      if (I < R) QuickSortWith(Items, I, R, Compare);
      R = J;
    }
  } while (L < R);
}

}  // namespace ListClone
