// The lines of a text taken apart to be put in another order, as the sorts put them: each
// keeps its own break, and a last line without one is lent a break while it moves
// (FinalBreak::TFinalBreak), which the line that ends up last then gives back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "strings/FinalBreak.h"
#include "strings/LineScan.h"

namespace LineOrder {

template <class TUnit>
class TLinesToReorder {
 public:
  using TView = std::basic_string_view<TUnit>;

  // The lines of Text, which must outlive this.
  explicit TLinesToReorder(TView Text) : FSize(Text.size()) {
    LineScan::ForEachLine(Text, [&](const LineScan::TLine& Line) {
      FLines.push_back(Text.substr(Line.Offset, Line.Length));
    });
    if (FLines.empty()) return;
    FFinal = FinalBreak::TFinalBreak<TUnit>(
        FLines.back(), FLines.size() >= 2 ? FLines[FLines.size() - 2] : TView());
    if (FFinal.Lent()) FLines.back() = FFinal.Last();
  }
  TLinesToReorder(const TLinesToReorder&) = delete;
  TLinesToReorder& operator=(const TLinesToReorder&) = delete;

  // The lines, each with a break; the caller reorders them.
  std::vector<TView>& Lines() { return FLines; }

  // The lines in their present order, joined.
  std::basic_string<TUnit> Joined() const {
    std::basic_string<TUnit> Out;
    Out.reserve(FSize + 2);
    for (const TView Line : FLines) Out += Line;
    if (!FLines.empty()) {
      Out.resize(Out.size() - FLines.back().size() + FFinal.TakeBack(FLines.back()).size());
    }
    return Out;
  }

 private:
  size_t FSize;
  std::vector<TView> FLines;
  FinalBreak::TFinalBreak<TUnit> FFinal;
};

}  // namespace LineOrder
