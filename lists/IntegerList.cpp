#include "lists/IntegerList.h"

#include <memory>

#include "base/Exceptions.h"

namespace IntegerList {

TRecordList::TRecordList() = default;

TRecordList::~TRecordList() { Clear(); }

int32_t TRecordList::Add(int32_t Item) {
  auto NewCell = std::make_unique<int32_t>(Item);
  const int32_t Index = FList.Add(NewCell.get());
  NewCell.release();
  return Index;
}

void TRecordList::Insert(int32_t Index, int32_t Item) {
  auto NewCell = std::make_unique<int32_t>(Item);
  FList.Insert(Index, NewCell.get());
  NewCell.release();
}

void TRecordList::Delete(int32_t Index) {
  int32_t* Doomed = Cell(FList.GetItem(Index));
  FList.Delete(Index);
  delete Doomed;
}

void TRecordList::Clear() {
  for (int32_t I = 0; I < FList.Count(); ++I) delete Cell(FList.List()[I]);
  FList.Clear();
}

void TRecordList::Exchange(int32_t Index1, int32_t Index2) { FList.Exchange(Index1, Index2); }

void TRecordList::Move(int32_t CurIndex, int32_t NewIndex) { FList.Move(CurIndex, NewIndex); }

int32_t TRecordList::GetItem(int32_t Index) const { return *Cell(FList.GetItem(Index)); }

void TRecordList::SetItem(int32_t Index, int32_t Value) { *Cell(FList.GetItem(Index)) = Value; }

int32_t TRecordList::IndexOf(int32_t Value) const {
  for (int32_t I = 0; I < FList.Count(); ++I) {
    if (*Cell(FList.List()[I]) == Value) return I;
  }
  return -1;
}

void TRecordList::SetCount(int32_t NewCount) {
  if (NewCount < 0) ListClone::TListClone::Error("", NewCount);
  for (int32_t I = Count() - 1; I >= NewCount; --I) Delete(I);
  while (Count() < NewCount) Add(0);
}

void TRecordList::Assign(const TRecordList* Source) {
  if (Source == nullptr || Source == this) return;
  Clear();
  for (int32_t I = 0; I < Source->Count(); ++I) Add(Source->GetItem(I));
}

namespace {

int32_t CompareUp(void* Item1, void* Item2) {
  const int32_t A = *static_cast<int32_t*>(Item1);
  const int32_t B = *static_cast<int32_t*>(Item2);
  return A < B ? -1 : (A > B ? 1 : 0);
}

int32_t CompareDown(void* Item1, void* Item2) { return CompareUp(Item2, Item1); }

}  // namespace

void TNumericList::Sort(TSortOrder SortOrder) {
  switch (SortOrder) {
    case soUp:
      FList.Sort(CompareUp);
      return;
    case soDown:
      FList.Sort(CompareDown);
      return;
  }
  throw SysUtils::Exception("SortOrderが指定範囲内ではありません");
}

}  // namespace IntegerList
