#include "commands/LineShuffle.h"

#include <utility>

#include "base/Random.h"
#include "strings/LineOrder.h"

namespace LineShuffle {
namespace {

template <class TUnit>
std::basic_string<TUnit> Shuffle(std::basic_string_view<TUnit> Text, uint64_t Seed) {
  if (LineScan::AtMostOneLine(Text)) return std::basic_string<TUnit>(Text);
  LineOrder::TLinesToReorder<TUnit> Reordered(Text);
  auto& Lines = Reordered.Lines();
  Random::TRandom Rng(Seed);
  for (size_t I = Lines.size() - 1; I > 0; --I) std::swap(Lines[I], Lines[Rng.Below(I + 1)]);
  return Reordered.Joined();
}

}  // namespace

std::u16string ShuffleLines(std::u16string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

std::string ShuffleLines(std::string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

}  // namespace LineShuffle
