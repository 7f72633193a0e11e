// The break lent to a last line that has none while the lines of a text move. Every line is
// compared and moved with its break, so such a line takes, for the time of the work, the break
// of the line before it (CR LF when it is the only line), so that no break the text did not
// already use is written into it; the line that ends up last then gives its break back, and
// the text still ends without one. Every operation that moves lines lends and takes back here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "strings/LineScan.h"

namespace FinalBreak {

template <class TUnit>
class TFinalBreak {
 public:
  using TView = std::basic_string_view<TUnit>;

  // Lends nothing.
  TFinalBreak() = default;
  // Lends Last, the last line of a text, the break of Before, the line before it (empty when
  // there is none), when Last has no break of its own; lends nothing otherwise.
  TFinalBreak(TView Last, TView Before) {
    if (!LineScan::BreakOf(Last).empty()) return;
    static constexpr TUnit CrLf[2] = {TUnit('\r'), TUnit('\n')};
    const TView Break = LineScan::BreakOf(Before);
    FLast.reserve(Last.size() + 2);
    FLast.assign(Last);
    FLast += Break.empty() ? TView(CrLf, 2) : Break;
    FBreak = FLast.size() - Last.size();
  }

  // Whether a break is lent.
  bool Lent() const noexcept { return FBreak != 0; }
  // The lent break; empty when none is.
  TView Break() const noexcept { return TView(FLast).substr(FLast.size() - FBreak); }
  // The last line with the lent break, as it takes part in the work; empty when none is lent.
  TView Last() const noexcept { return FLast; }
  // Line, the line that ends up last, as it is written: without its break when one was lent.
  TView TakeBack(TView Line) const noexcept {
    return Lent() ? Line.substr(0, Line.size() - LineScan::BreakOf(Line).size()) : Line;
  }

 private:
  std::basic_string<TUnit> FLast;  // the last line and the lent break, when one is lent
  size_t FBreak = 0;               // the lent break's length
};

}  // namespace FinalBreak
