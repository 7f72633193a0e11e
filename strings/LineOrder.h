// The lines of a text taken apart to be put in another order, as the sorts put them: each
// keeps its own break, and a last line without one takes the break of the line before it
// (LineScan::BorrowedBreak) while it moves, which the line that ends up last then loses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
    if (!FLines.empty() && LineScan::BreakOf(FLines.back()).empty()) {
      FLent.assign(FLines.back());
      FLent += LineScan::BorrowedBreak(FLines.size() >= 2 ? FLines[FLines.size() - 2] : TView());
      FLines.back() = FLent;
    }
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
    if (!FLent.empty()) Out.resize(Out.size() - LineScan::BreakOf(FLines.back()).size());
    return Out;
  }

 private:
  size_t FSize;
  std::vector<TView> FLines;
  std::basic_string<TUnit> FLent;  // the last line with the break it borrows, when it has none
};

}  // namespace LineOrder
