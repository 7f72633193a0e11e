#include "commands/DuplicationLineTable.h"

#include <algorithm>

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
  // Doubling alone would move a large table many times over. Once a fair part of the text has
  // been read, the table grows straight to the size that the share of distinct lines seen so
  // far projects for the whole text (never less than double).
  size_t Slots = FSlots.size() * 2;
  if (FScanned >= FText.size() / 16 && FScanned != 0) {
    const double Projected =
        static_cast<double>(FKeys.size()) * static_cast<double>(FText.size()) / FScanned;
    // Never more than two slots for each line the text can have.
    const double Cap =
        2.0 * static_cast<double>(std::min<size_t>(FText.size(), ListClone::MaxListSize));
    while (static_cast<double>(Slots) < 2 * Projected && static_cast<double>(Slots) < Cap) {
      Slots *= 2;
    }
    // The keys go to their projected size at once too, rather than by repeated copying.
    FKeys.reserve(std::max(FKeys.capacity(), Slots / 2));
  }
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
