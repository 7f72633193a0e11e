// TListClone: a growable array of untyped pointers with index-checked access, a fixed growth
// rule, an in-place quicksort and set-style Assign. It never owns what its items point to.
#pragma once

#include <cstdint>

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

}  // namespace ListClone
