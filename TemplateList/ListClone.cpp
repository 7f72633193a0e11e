#include "TemplateList/ListClone.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/Exceptions.h"

namespace ListClone {

namespace {
constexpr const char* SListIndexError = "リストのインデックスが範囲を超えています (%d)";
constexpr const char* SListCapacityError = "リストの容量が超えました (%d)";
constexpr const char* SListCountError = "リストの個数を超えました (%d)";
}  // namespace

TListClone::~TListClone() {
  // Destruction must not throw; Clear only shrinks, which cannot fail.
  TListClone::Clear();
}

void TListClone::Error(const char*, int32_t) { throw SysUtils::EAssertionFailed("Listエラー"); }

void TListClone::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= FCount) Error(SListIndexError, Index);
}

void* TListClone::GetItem(int32_t Index) const {
  CheckIndex(Index);
  return FList[Index];
}

int32_t TListClone::Add(void* Item) {
  const int32_t Result = FCount;
  if (Result == FCapacity) GrowCapacity();
  FList[Result] = Item;
  ++FCount;
  if (Item != nullptr) NotifyChange(Item, lcAdded);
  return Result;
}

void TListClone::Insert(int32_t Index, void* Item) {
  if (Index < 0 || Index > FCount) Error(SListIndexError, Index);
  if (FCount == FCapacity) GrowCapacity();
  if (Index < FCount) {
    std::memmove(FList + Index + 1, FList + Index, (FCount - Index) * sizeof(void*));
  }
  FList[Index] = Item;
  ++FCount;
  if (Item != nullptr) NotifyChange(Item, lcAdded);
}

void TListClone::Delete(int32_t Index) {
  CheckIndex(Index);
  void* Temp = FList[Index];
  --FCount;
  if (Index < FCount) {
    std::memmove(FList + Index, FList + Index + 1, (FCount - Index) * sizeof(void*));
  }
  if (Temp != nullptr) NotifyChange(Temp, lcDeleted);
}

int32_t TListClone::Remove(void* Item) {
  const int32_t Result = IndexOf(Item);
  if (Result >= 0) Delete(Result);
  return Result;
}

void* TListClone::Extract(void* Item) {
  const int32_t I = IndexOf(Item);
  if (I < 0) return nullptr;
  FList[I] = nullptr;
  Delete(I);
  NotifyChange(Item, lcExtracted);
  return Item;
}

void TListClone::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[Index1], FList[Index2]);
}

void TListClone::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(NewIndex);
  void* Item = GetItem(CurIndex);
  FList[CurIndex] = nullptr;
  Delete(CurIndex);
  Insert(NewIndex, nullptr);
  FList[NewIndex] = Item;
}

int32_t TListClone::IndexOf(void* Item) const {
  for (int32_t I = 0; I < FCount; ++I) {
    if (FList[I] == Item) return I;
  }
  return -1;
}

TListClone* TListClone::Expand() {
  if (FCount == FCapacity) GrowCapacity();
  return this;
}

void TListClone::Pack() {
  for (int32_t I = FCount - 1; I >= 0; --I) {
    if (FList[I] == nullptr) Delete(I);
  }
}

void TListClone::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TListClone::GrowCapacity() {
  int32_t Delta;
  if (FCapacity > 64) {
    Delta = FCapacity / 4;
  } else if (FCapacity > 8) {
    Delta = 16;
  } else {
    Delta = 4;
  }
  SetCapacity(FCapacity + Delta);
}

void TListClone::NotifyChange(void*, TListCloneChange) {}

void TListClone::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < FCount || NewCapacity > MaxListSize) Error(SListCapacityError, NewCapacity);
  if (NewCapacity == FCapacity) return;
  if (NewCapacity == 0) {
    std::free(FList);
    FList = nullptr;
  } else {
    void* Grown = std::realloc(FList, static_cast<size_t>(NewCapacity) * sizeof(void*));
    if (Grown == nullptr) throw std::bad_alloc();
    FList = static_cast<PPointerList>(Grown);
  }
  FCapacity = NewCapacity;
}

void TListClone::SetCount(int32_t NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error(SListCountError, NewCount);
  if (NewCount > FCapacity) SetCapacity(NewCount);
  if (NewCount > FCount) {
    std::memset(FList + FCount, 0, (NewCount - FCount) * sizeof(void*));
  } else {
    for (int32_t I = FCount - 1; I >= NewCount; --I) Delete(I);
  }
  FCount = NewCount;
}

void QuickSort(PPointerList SortList, int32_t L, int32_t R, TListCloneSortCompare SCompare) {
  QuickSortWith(SortList, L, R, SCompare);
}

void TListClone::Sort(TListCloneSortCompare Compare) {
  if (FList != nullptr && FCount > 0) QuickSort(FList, 0, FCount - 1, Compare);
}

void TListClone::Assign(TListClone* ListA, TListCloneAssignOp AOperator, TListClone* ListB) {
  TListClone* LSource;
  if (ListB != nullptr) {
    LSource = ListB;
    Assign(ListA);
  } else {
    LSource = ListA;
  }
  switch (AOperator) {
    case laCopy:
      Clear();
      SetCapacity(LSource->Capacity());
      for (int32_t I = 0; I < LSource->Count(); ++I) Add(LSource->FList[I]);
      break;
    case laAnd:
      for (int32_t I = FCount - 1; I >= 0; --I) {
        if (LSource->IndexOf(FList[I]) == -1) Delete(I);
      }
      break;
    case laOr:
      for (int32_t I = 0; I < LSource->Count(); ++I) {
        if (IndexOf(LSource->FList[I]) == -1) Add(LSource->FList[I]);
      }
      break;
    case laXor: {
      auto LTemp = std::make_unique<TListClone>();
      LTemp->SetCapacity(LSource->Count());
      for (int32_t I = 0; I < LSource->Count(); ++I) {
        if (IndexOf(LSource->FList[I]) == -1) LTemp->Add(LSource->FList[I]);
      }
      for (int32_t I = FCount - 1; I >= 0; --I) {
        if (LSource->IndexOf(FList[I]) != -1) Delete(I);
      }
      const int32_t Needed = FCount + LTemp->Count();
      if (FCapacity < Needed) SetCapacity(Needed);
      for (int32_t I = 0; I < LTemp->Count(); ++I) Add(LTemp->FList[I]);
      break;
    }
    case laSrcUnique:
      for (int32_t I = FCount - 1; I >= 0; --I) {
        if (LSource->IndexOf(FList[I]) != -1) Delete(I);
      }
      break;
    case laDestUnique: {
      auto LTemp = std::make_unique<TListClone>();
      LTemp->SetCapacity(LSource->Count());
      for (int32_t I = LSource->Count() - 1; I >= 0; --I) {
        if (IndexOf(LSource->FList[I]) == -1) LTemp->Add(LSource->FList[I]);
      }
      Assign(LTemp.get());
      break;
    }
  }
}

}  // namespace ListClone
