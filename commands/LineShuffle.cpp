#include "commands/LineShuffle.h"

#include <utility>
#include <vector>

#include "base/Random.h"
#include "strings/LineScan.h"

namespace LineShuffle {
namespace {

template <class TUnit>
std::basic_string<TUnit> Shuffle(std::basic_string_view<TUnit> Text, uint64_t Seed) {
  using TView = std::basic_string_view<TUnit>;
  if (LineScan::AtMostOneLine(Text)) return std::basic_string<TUnit>(Text);
  std::vector<TView> Lines;
  LineScan::ForEachLine(Text, [&](const LineScan::TLine& Line) {
    Lines.push_back(Text.substr(Line.Offset, Line.Length));
  });
  // The last line, when it has no break, is moved with the break it borrows.
  std::basic_string<TUnit> Last;
  const bool Added = LineScan::BreakOf(Lines.back()).empty();
  if (Added) {
    Last.assign(Lines.back());
    Last += LineScan::BorrowedBreak(Lines[Lines.size() - 2]);
    Lines.back() = Last;
  }
  Random::TRandom Rng(Seed);
  for (size_t I = Lines.size() - 1; I > 0; --I) std::swap(Lines[I], Lines[Rng.Below(I + 1)]);

  std::basic_string<TUnit> Out;
  Out.reserve(Text.size() + 2);
  for (const TView Line : Lines) Out += Line;
  if (Added) Out.resize(Out.size() - LineScan::BreakOf(Lines.back()).size());
  return Out;
}

}  // namespace

std::u16string ShuffleLines(std::u16string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

std::string ShuffleLines(std::string_view Text, uint64_t Seed) { return Shuffle(Text, Seed); }

}  // namespace LineShuffle
