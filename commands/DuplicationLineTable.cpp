#include "commands/DuplicationLineTable.h"

namespace DuplicationLineTable {

namespace {

// Small enough that a text with few distinct lines keeps its whole index in the cache.
constexpr size_t InitialSlots = 1024;

}  // namespace

TDistinctLines::TDistinctLines(std::u16string_view Text, TKeyKind KeyKind)
    : FText(Text), FKeyKind(KeyKind), FSlots(InitialSlots), FMask(InitialSlots - 1) {}

void TDistinctLines::Grow() {
  // Each slot keeps its hash, so moving to a table twice the size reads no key.
  std::vector<TSlot> Old(FSlots.size() * 2);
  Old.swap(FSlots);
  FMask = FSlots.size() - 1;
  for (const TSlot& Slot : Old) {
    if (Slot.Number == 0) continue;
    size_t I = Slot.Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
    FSlots[I] = Slot;
  }
}

}  // namespace DuplicationLineTable
