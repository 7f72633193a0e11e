#include "commands/LineShuffle.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Random.h"
#include "strings/FinalBreak.h"
#include "strings/LineScan.h"

namespace LineShuffle {
namespace {

// The shuffle moves the lines' starts, TStart wide (32 bits below 4 Gi units: as much as a
// short line's own text, where a view would take four times as much), and writes each line
// found again from its start. A last line without a break is read, meanwhile, with the break
// it is lent.
template <class TStart, class TUnit>
std::basic_string<TUnit> ShuffleStarts(std::basic_string_view<TUnit> Text, uint64_t Seed) {
  using TView = std::basic_string_view<TUnit>;
  std::vector<TStart> Starts;
  Starts.reserve(LineScan::ForEachLineStart(Text, [](size_t) {}));
  LineScan::ForEachLineStart(Text,
                             [&](size_t Start) { Starts.push_back(static_cast<TStart>(Start)); });
  const size_t LastStart = Starts.back();
  const size_t BeforeStart = Starts[Starts.size() - 2];
  const FinalBreak::TFinalBreak<TUnit> Final(Text.substr(LastStart),
                                             Text.substr(BeforeStart, LastStart - BeforeStart));
  Random::TRandom Rng(Seed);
  for (size_t I = Starts.size() - 1; I > 0; --I) std::swap(Starts[I], Starts[Rng.Below(I + 1)]);
  std::basic_string<TUnit> Out;
  Out.reserve(Text.size() + 2);
  TView Line;
  for (const TStart Start : Starts) {
    Line = Final.Lent() && Start == LastStart
               ? Final.Last()
               : Text.substr(Start, LineScan::LineAt(Text, Start).Length);
    Out += Line;
  }
  // The line that ends up last gives back the lent break, or its own.
  Out.resize(Out.size() - Line.size() + Final.TakeBack(Line).size());
  return Out;
}

template <class TUnit>
std::basic_string<TUnit> Shuffle(std::basic_string_view<TUnit> Text, uint64_t Seed) {
  if (LineScan::AtMostOneLine(Text)) return std::basic_string<TUnit>(Text);
  return Text.size() < UINT32_MAX ? ShuffleStarts<uint32_t>(Text, Seed)
                                  : ShuffleStarts<size_t>(Text, Seed);
}

}  // namespace

std::u16string ShuffleLines(std::u16string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

std::string ShuffleLines(std::string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

}  // namespace LineShuffle
