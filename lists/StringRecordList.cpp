#include "lists/StringRecordList.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "strings/LineScan.h"
#include "strings/MathUnit.h"
#include "strings/StringSearchUnit.h"

namespace StringRecordList {

namespace {

constexpr int32_t kAddressOrderFrom = 4096;  // below that the cells fit the cache anyway

// Sorts the N pointers of Items by address: a least-significant-digit radix sort on the
// distance from the lowest address, in as many 12-bit digits as the spread needs.
void SortByAddress(void** Items, int32_t N) noexcept {
  uintptr_t Low = UINTPTR_MAX, High = 0;
  for (int32_t I = 0; I < N; ++I) {
    Low = std::min(Low, reinterpret_cast<uintptr_t>(Items[I]));
    High = std::max(High, reinterpret_cast<uintptr_t>(Items[I]));
  }
  constexpr int Bits = 12;
  constexpr uintptr_t Mask = (uintptr_t{1} << Bits) - 1;
  // Without room for the scratch array the cells are simply released in list order.
  std::unique_ptr<void*[]> Scratch(new (std::nothrow) void*[static_cast<size_t>(N)]);
  std::unique_ptr<size_t[]> Start(new (std::nothrow) size_t[Mask + 1]);
  if (!Scratch || !Start) return;
  void** From = Items;
  void** To = Scratch.get();
  // Heap blocks are 16-byte aligned: the low four bits never differ.
  for (int Shift = 4; Shift < 64 && ((High - Low) >> Shift) != 0; Shift += Bits) {
    auto Digit = [&](void* P) { return ((reinterpret_cast<uintptr_t>(P) - Low) >> Shift) & Mask; };
    std::fill(Start.get(), Start.get() + Mask + 1, 0);
    for (int32_t I = 0; I < N; ++I) ++Start[Digit(From[I])];
    size_t Sum = 0;
    for (uintptr_t D = 0; D <= Mask; ++D) Sum += std::exchange(Start[D], Sum);
    for (int32_t I = 0; I < N; ++I) To[Start[Digit(From[I])]++] = From[I];
    std::swap(From, To);
  }
  if (From != Items) std::copy(From, From + N, Items);
}

}  // namespace

const std::vector<std::u16string>& LineBreaks() {
  static const std::vector<std::u16string> Breaks{u"\r\n", u"\r", u"\n"};
  return Breaks;
}

TRecordList::TRecordList() = default;

TRecordList::~TRecordList() { Clear(); }

int32_t TRecordList::Add(const std::u16string& Item) { return Add(std::u16string(Item)); }

int32_t TRecordList::Add(std::u16string&& Item) {
  // The cell is owned by the unique_ptr until the list has taken it, so a failure to grow
  // the list cannot leak it.
  auto Cell = std::make_unique<std::u16string>(std::move(Item));
  const int32_t Index = FList.Add(Cell.get());
  Cell.release();
  return Index;
}

void TRecordList::Insert(int32_t Index, const std::u16string& Item) {
  auto Cell = std::make_unique<std::u16string>(Item);
  FList.Insert(Index, Cell.get());
  Cell.release();
}

void TRecordList::Delete(int32_t Index) {
  std::u16string* Doomed = CellAt(Index);
  FList.Delete(Index);
  delete Doomed;
}

void TRecordList::Clear() {
  // After a sort the cells lie in the list in an order unrelated to where they lie in memory;
  // released in that order, every release merges with neighbours that are not in the cache.
  // In address order each one merges with the block released just before it.
  const int32_t N = FList.Count();
  if (N >= kAddressOrderFrom) {
    // The list is being emptied, so its own array may be reordered.
    SortByAddress(FList.List(), N);
  }
  for (int32_t I = 0; I < N; ++I) delete Cell(FList.List()[I]);
  FList.Clear();
}

void TRecordList::Exchange(int32_t Index1, int32_t Index2) { FList.Exchange(Index1, Index2); }

void TRecordList::Move(int32_t CurIndex, int32_t NewIndex) { FList.Move(CurIndex, NewIndex); }

std::u16string TRecordList::GetItem(int32_t Index) const { return *CellAt(Index); }

const std::u16string& TRecordList::ItemRef(int32_t Index) const { return *CellAt(Index); }

void TRecordList::SetItem(int32_t Index, const std::u16string& Value) { *CellAt(Index) = Value; }

void TRecordList::SetItem(int32_t Index, std::u16string&& Value) {
  *CellAt(Index) = std::move(Value);
}

int32_t TRecordList::IndexOf(std::u16string_view Value) const {
  for (int32_t I = 0; I < FList.Count(); ++I) {
    if (*Cell(FList.List()[I]) == Value) return I;
  }
  return -1;
}

void TRecordList::SetCount(int32_t NewCount) {
  if (NewCount < 0) ListClone::TListClone::Error("", NewCount);
  for (int32_t I = Count() - 1; I >= NewCount; --I) Delete(I);
  while (Count() < NewCount) Add(std::u16string());
}

void TRecordList::Assign(const TRecordList* Source) {
  if (Source == nullptr) return;
  if (Source == this) return;  // Copying a list onto itself leaves it as it is.
  Clear();
  for (int32_t I = 0; I < Source->Count(); ++I) Add(Source->ItemRef(I));
}

std::u16string TCommonStringRecordList::Text() const {
  size_t Total = 0;
  for (int32_t I = 0; I < Count(); ++I) Total += ItemRef(I).size();
  std::u16string Result;
  Result.reserve(Total);
  for (int32_t I = 0; I < Count(); ++I) Result += ItemRef(I);
  return Result;
}

void TCommonStringRecordList::SetText(std::u16string_view Value) {
  // Equivalent to splitting at LineBreaks() keeping the separators (CR LF tried before a lone
  // CR), done by the line scanner because every text from the editor comes through here.
  Clear();
  LineScan::ForEachLine(Value, [&](const LineScan::TLine& Line) {
    Add(std::u16string(Value.substr(Line.Offset, Line.Length)));
  });
}

void TCommonStringRecordList::SetLines(std::vector<std::u16string>&& Lines) {
  Clear();
  FList.SetCapacity(static_cast<int32_t>(Lines.size()));
  for (auto& Line : Lines) Add(std::move(Line));
  Lines.clear();
}

void TCommonStringRecordList::SetDelimitedText(std::u16string_view Value,
                                               const std::vector<std::u16string>& Delimiters) {
  SplitText(Value, Delimiters, smDropSeparator);
}

std::u16string TCommonStringRecordList::GetDelimitedText(std::u16string_view Delimiter) const {
  std::u16string Result;
  for (int32_t I = 0; I < Count(); ++I) {
    Result += ItemRef(I);
    Result += Delimiter;
  }
  return StringSearchUnit::RemoveSuffix(Result, Delimiter);
}

void TCommonStringRecordList::SplitText(std::u16string_view Value,
                                        const std::vector<std::u16string>& Separators,
                                        TSplitMode Mode) {
  using StringSearchUnit::CopyRange;
  Clear();
  const auto N = static_cast<int32_t>(Value.size());
  int32_t B = 0;
  int32_t E = 0;
  int32_t P = 1;
  while (P <= N) {
    const std::u16string* Found = nullptr;
    for (const auto& Sep : Separators) {
      if (StringSearchUnit::IsSubStringAt(Sep, Value, P)) {
        Found = &Sep;
        break;
      }
    }
    if (Found == nullptr) {
      E = P;
      ++P;
      continue;
    }
    const auto L = static_cast<int32_t>(Found->size());
    if (Mode == smKeepSeparator) {
      E = P + L - 1;
      Add(CopyRange(Value, B, E));
      P = E + 1;
    } else {
      E = P - 1;
      Add(CopyRange(Value, B, P - 1));
      P += L;
    }
    B = P;
  }
  if (Mode == smKeepSeparator) {
    if (E >= B && (MathUnit::IsBetween(1, B, N) || MathUnit::IsBetween(1, E, N))) {
      Add(CopyRange(Value, B, E));
    }
  } else {
    Add(CopyRange(Value, B, E));
  }
}

}  // namespace StringRecordList
