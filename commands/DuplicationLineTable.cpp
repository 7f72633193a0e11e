#include "commands/DuplicationLineTable.h"

#include "strings/StringUnit.h"

namespace DuplicationLineTable {

namespace {

// Small enough that a text with few distinct lines keeps its whole index in the cache.
constexpr size_t InitialSlots = 1024;

}  // namespace

TDistinctLines::TDistinctLines(std::u16string_view Text, TKeyKind KeyKind)
    : FText(Text), FKeyKind(KeyKind), FSlots(InitialSlots), FMask(InitialSlots - 1) {}

TLine TDistinctLines::WholeLine(const TKey& Key) const {
  return TLine{Key.Offset, Key.Length,
               StringUnit::BodyLength(FText.substr(Key.Offset, Key.Length))};
}

void TDistinctLines::Grow() {
  // Doubling alone moves a large table many times over. Once a fair part of the text has been
  // read, the table grows fourfold when the share of distinct lines seen so far projects at
  // least that many for the whole text; never more, so a wrong guess costs little.
  size_t Slots = FSlots.size() * 2;
  if (FScanned != 0 && FScanned >= FText.size() / 16) {
    const double Projected =
        static_cast<double>(FKeys.size()) * static_cast<double>(FText.size()) / FScanned;
    if (Projected * 2 >= static_cast<double>(Slots) * 2) Slots *= 2;
  }
  // The keys get room up to the next growth at once, rather than by repeated copying.
  FKeys.reserve(Slots / 2);
  std::vector<TSlot> Old(Slots);
  Old.swap(FSlots);
  FMask = FSlots.size() - 1;
  // Each slot keeps its hash, so the move reads no key. The new home of a slot a little ahead
  // is fetched in advance, so that the scattered writes overlap.
  constexpr size_t Ahead = 8;
  for (size_t J = 0; J < Old.size(); ++J) {
    if (J + Ahead < Old.size() && Old[J + Ahead].Number != 0) {
      __builtin_prefetch(&FSlots[Old[J + Ahead].Hash & FMask], 1);
    }
    const TSlot Slot = Old[J];
    if (Slot.Number == 0) continue;
    size_t I = Slot.Hash & FMask;
    while (FSlots[I].Number != 0) I = (I + 1) & FMask;
    FSlots[I] = Slot;
  }
}

}  // namespace DuplicationLineTable
