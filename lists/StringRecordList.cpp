#include "lists/StringRecordList.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "strings/LineScan.h"
#include "strings/StringSearchUnit.h"

namespace StringRecordList {

namespace {

// Blocks of the arena: small for a short list, at most MaxBlock unless one cell needs more, so
// that a large list never needs one contiguous run of address space (scarce in a 32-bit
// editor) and the last block's unused tail stays small.
constexpr size_t MinBlock = size_t{4} << 10;
constexpr size_t MaxBlock = size_t{16} << 20;

// Dead cells are moved out only past this many bytes: small lists are not worth it.
constexpr size_t CompactFrom = size_t{1} << 20;

// The bytes before a line's code units in its cell (see LineOf).
size_t HeaderSize(size_t Length) { return Length < UINT32_MAX ? 4 : 12; }

// Writes Line into Cell, which has room for it. Line may lie in the cell itself: the units
// move first, and the header they are written after never reaches where Line starts.
void WriteCell(void* Cell, std::u16string_view Line) {
  auto* Bytes = static_cast<std::byte*>(Cell);
  // A line is one object, so its bytes fit in ptrdiff_t. Saying so keeps the 32-bit compiler
  // from warning about a length whose byte count would wrap around the address space.
  if (Line.size() > static_cast<size_t>(PTRDIFF_MAX) / sizeof(char16_t)) __builtin_unreachable();
  if (!Line.empty()) {
    std::memmove(Bytes + HeaderSize(Line.size()), Line.data(), Line.size() * sizeof(char16_t));
  }
  if (Line.size() < UINT32_MAX) {
    const auto Length = static_cast<uint32_t>(Line.size());
    std::memcpy(Bytes, &Length, sizeof Length);
  } else {
    const uint32_t Long = UINT32_MAX;
    const auto Length = static_cast<uint64_t>(Line.size());
    std::memcpy(Bytes, &Long, sizeof Long);
    std::memcpy(Bytes + 4, &Length, sizeof Length);
  }
}

}  // namespace

size_t TLineArena::CellSize(size_t Length) noexcept {
  // Whole 32-bit words, so that the next cell's header is aligned.
  return (HeaderSize(Length) + Length * sizeof(char16_t) + 3) / 4 * 4;
}

void* TLineArena::NewCell(std::u16string_view Line) {
  const size_t Bytes = CellSize(Line.size());
  if (static_cast<size_t>(FEnd - FNext) < Bytes) {
    // A new block: room for the cells still expected (within bounds), else as large as all
    // the cells so far, so that the number of blocks grows with the logarithm of the list.
    // The expectation counts cells written, not blocks taken: the tail a block leaves unused
    // is found in the next block rather than in a block of its own after the last.
    size_t Size = FExpected != 0 ? FExpected : FUsed;
    Size = std::max(std::clamp(Size, MinBlock, MaxBlock), Bytes);
    FBlocks.reserve(FBlocks.size() + 1);
    FBlocks.emplace_back(new std::byte[Size]);
    FNext = FBlocks.back().get();
    FEnd = FNext + Size;
    FCapacity += Size;
  }
  void* Cell = FNext;
  FNext += Bytes;
  FUsed += Bytes;
  FExpected -= std::min(FExpected, Bytes);
  WriteCell(Cell, Line);
  return Cell;
}

void TLineArena::Release() noexcept {
  FBlocks.clear();
  FNext = FEnd = nullptr;
  FExpected = 0;
  FUsed = 0;
  FCapacity = 0;
}

const std::vector<std::u16string>& LineBreaks() {
  static const std::vector<std::u16string> Breaks{u"\r\n", u"\r", u"\n"};
  return Breaks;
}

TRecordList::TRecordList() = default;

TRecordList::~TRecordList() { Clear(); }

int32_t TRecordList::Add(std::u16string_view Item) {
  void* Cell = FArena.NewCell(Item);
  try {
    return FList.Add(Cell);
  } catch (...) {
    // The list could not take the cell: it stays in the arena, unused, until the next Clear.
    FDead += TLineArena::CellSize(Item.size());
    throw;
  }
}

void TRecordList::Insert(int32_t Index, std::u16string_view Item) {
  void* Cell = FArena.NewCell(Item);
  try {
    FList.Insert(Index, Cell);
  } catch (...) {
    FDead += TLineArena::CellSize(Item.size());
    throw;
  }
}

void TRecordList::Delete(int32_t Index) {
  const void* Doomed = FList.GetItem(Index);
  FList.Delete(Index);
  Abandon(Doomed);
}

void TRecordList::Clear() {
  // The cells go with their arena, in a few large blocks, whatever order the list is in.
  FList.Clear();
  FArena.Release();
  FDead = 0;
}

void TRecordList::Exchange(int32_t Index1, int32_t Index2) { FList.Exchange(Index1, Index2); }

void TRecordList::Move(int32_t CurIndex, int32_t NewIndex) { FList.Move(CurIndex, NewIndex); }

std::u16string TRecordList::GetItem(int32_t Index) const { return std::u16string(ItemRef(Index)); }

std::u16string_view TRecordList::ItemRef(int32_t Index) const {
  return LineOf(FList.GetItem(Index));
}

void TRecordList::SetItem(int32_t Index, std::u16string_view Value) {
  void* Cell = FList.GetItem(Index);
  const size_t Old = TLineArena::CellSize(LineOf(Cell).size());
  const size_t New = TLineArena::CellSize(Value.size());
  if (New <= Old) {
    // A line that fits is written over the old one; the rest of the cell lies unused.
    WriteCell(Cell, Value);
    FDead += Old - New;
    return;
  }
  // A longer line gets a new cell in the same place of the list.
  FList.List()[Index] = FArena.NewCell(Value);
  Abandon(Cell);
}

int32_t TRecordList::IndexOf(std::u16string_view Value) const {
  for (int32_t I = 0; I < FList.Count(); ++I) {
    if (LineOf(FList.List()[I]) == Value) return I;
  }
  return -1;
}

void TRecordList::SetCount(int32_t NewCount) {
  if (NewCount < 0) ListClone::TListClone::Error("", NewCount);
  for (int32_t I = Count() - 1; I >= NewCount; --I) Delete(I);
  while (Count() < NewCount) Add(std::u16string_view());
}

void TRecordList::Assign(const TRecordList* Source) {
  if (Source == nullptr) return;
  if (Source == this) return;  // Copying a list onto itself leaves it as it is.
  Clear();
  size_t Bytes = 0;
  for (int32_t I = 0; I < Source->Count(); ++I)
    Bytes += TLineArena::CellSize(Source->ItemRef(I).size());
  Expect(Source->Count(), Bytes);
  for (int32_t I = 0; I < Source->Count(); ++I) Add(Source->ItemRef(I));
}

void TRecordList::Expect(int32_t Lines, size_t Bytes) {
  FList.SetCapacity(std::max(FList.Capacity(), FList.Count() + Lines));
  FArena.Expect(Bytes);
}

void TRecordList::Abandon(const void* Cell) {
  FDead += TLineArena::CellSize(LineOf(Cell).size());
  if (FDead < CompactFrom || FDead < FArena.Used() - FDead) return;
  // More than half the arena is dead: the live cells move to a fresh one, in list order. If
  // the fresh arena cannot be had, the list stays as it was.
  TLineArena Fresh;
  Fresh.Expect(FArena.Used() - FDead);
  std::vector<void*> Moved(static_cast<size_t>(Count()));
  for (int32_t I = 0; I < Count(); ++I) Moved[I] = Fresh.NewCell(LineOf(FList.List()[I]));
  std::copy(Moved.begin(), Moved.end(), FList.List());
  std::swap(FArena, Fresh);
  FDead = 0;
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
  // CR), done by the line scanner because every text from the editor comes through here. A
  // first pass counts the lines and their cells, so that the list and the arena are sized
  // once: no block is copied as the list grows.
  Clear();
  size_t Lines = 0;
  size_t Bytes = 0;
  LineScan::ForEachLine(Value, [&](const LineScan::TLine& Line) {
    ++Lines;
    Bytes += TLineArena::CellSize(Line.Length);
  });
  if (Lines > static_cast<size_t>(ListClone::MaxListSize)) {
    ListClone::TListClone::Error("Too many lines", ListClone::MaxListSize);
  }
  Expect(static_cast<int32_t>(Lines), Bytes);
  LineScan::ForEachLine(
      Value, [&](const LineScan::TLine& Line) { Add(Value.substr(Line.Offset, Line.Length)); });
}

void TCommonStringRecordList::SetLines(std::vector<std::u16string>&& Lines) {
  Clear();
  size_t Bytes = 0;
  for (const auto& Line : Lines) Bytes += TLineArena::CellSize(Line.size());
  Expect(static_cast<int32_t>(std::min<size_t>(Lines.size(), ListClone::MaxListSize)), Bytes);
  for (const auto& Line : Lines) Add(Line);
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
  // Positions are counted in size_t: a text may hold more code units than a 32-bit position
  // can count. Begin is where the current piece starts.
  Clear();
  const size_t N = Value.size();
  size_t Begin = 0;
  size_t P = 0;
  while (P < N) {
    const std::u16string* Found = nullptr;
    for (const auto& Sep : Separators) {
      // The separators are tried in order; an empty one never occurs.
      if (!Sep.empty() && Value.substr(P).starts_with(Sep)) {
        Found = &Sep;
        break;
      }
    }
    if (Found == nullptr) {
      ++P;
      continue;
    }
    if (Mode == smKeepSeparator) {
      P += Found->size();
      Add(std::u16string(Value.substr(Begin, P - Begin)));
    } else {
      Add(std::u16string(Value.substr(Begin, P - Begin)));
      P += Found->size();
    }
    Begin = P;
  }
  // Keeping separators, a text that ends with one adds no empty last piece (nor does the
  // empty text); dropping them, the rest is always a piece, empty or not.
  if (Mode == smDropSeparator || Begin < N) Add(std::u16string(Value.substr(Begin)));
}

}  // namespace StringRecordList
