// Cutting a text into lines. A line ends in CR LF, a lone CR or a lone LF (CR LF is taken
// before a lone CR); only the last line of a text may have no break, and an empty text has no
// lines. Every part of the system that cuts a text into lines cuts it here. Texts are UTF-16,
// or UTF-8 where the tool works on the bytes of a file: CR and LF are single code units in
// both, and no other character's units contain them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace LineScan {

// One line of a text: where it starts, its length with its line break and without it.
struct TLine {
  size_t Offset;
  size_t Length;
  size_t BodyLength;
};

// Whether Unit is CR or LF, the units line breaks are made of.
template <class TUnit>
constexpr bool IsBreak(TUnit Unit) noexcept {
  return Unit == TUnit('\r') || Unit == TUnit('\n');
}

// The position of the first CR or LF in Units[From, N), or N when there is none.
size_t FindBreak(const char16_t* Units, size_t From, size_t N) noexcept;
size_t FindBreak(const char* Units, size_t From, size_t N) noexcept;
// The same, one code unit at a time: the plain path the vector path is checked against, and
// the one taken where the processor has no SSE2.
size_t FindBreakScalar(const char16_t* Units, size_t From, size_t N) noexcept;
size_t FindBreakScalar(const char* Units, size_t From, size_t N) noexcept;

namespace Detail {

template <class TUnit>
size_t BreakEnd(std::basic_string_view<TUnit> Text, size_t Break) noexcept {
  if (Break >= Text.size()) return Text.size();
  if (Text[Break] == TUnit('\r') && Break + 1 < Text.size() && Text[Break + 1] == TUnit('\n')) {
    return Break + 2;
  }
  return Break + 1;
}

template <class TUnit>
TLine LineAt(std::basic_string_view<TUnit> Text, size_t Begin) noexcept {
  const size_t Break = FindBreak(Text.data(), Begin, Text.size());
  return TLine{Begin, BreakEnd(Text, Break) - Begin, Break - Begin};
}

template <class TUnit, class TVisit>
void ForEachLine(std::basic_string_view<TUnit> Text, TVisit& Visit) {
  for (size_t Begin = 0; Begin < Text.size();) {
    const TLine Line = LineAt(Text, Begin);
    Visit(Line);
    Begin += Line.Length;
  }
}

}  // namespace Detail

// Where the line break that starts at Break ends: after CR LF, CR or LF; Break itself when
// Break is the end of the text.
inline size_t BreakEnd(std::u16string_view Text, size_t Break) noexcept {
  return Detail::BreakEnd(Text, Break);
}
inline size_t BreakEnd(std::string_view Text, size_t Break) noexcept {
  return Detail::BreakEnd(Text, Break);
}

// The line of Text that starts at Begin < Text.size().
inline TLine LineAt(std::u16string_view Text, size_t Begin) noexcept {
  return Detail::LineAt(Text, Begin);
}
inline TLine LineAt(std::string_view Text, size_t Begin) noexcept {
  return Detail::LineAt(Text, Begin);
}

// Calls Visit(const TLine&) for each line of Text, in order.
template <class TVisit>
void ForEachLine(std::u16string_view Text, TVisit&& Visit) {
  Detail::ForEachLine(Text, Visit);
}
template <class TVisit>
void ForEachLine(std::string_view Text, TVisit&& Visit) {
  Detail::ForEachLine(Text, Visit);
}

// Bit K of Cr and of Lf set where Units[K] is CR and LF, for the 64 units at Units.
void BreakMasks(const char16_t* Units, uint64_t& Cr, uint64_t& Lf) noexcept;
void BreakMasks(const char* Units, uint64_t& Cr, uint64_t& Lf) noexcept;

// Calls Visit(Offset) with the start of each line of Text, in order, and returns how many lines
// it has: the lines ForEachLine gives, found 64 units at a time rather than line by line.
template <class TUnit, class TVisit>
size_t ForEachLineStart(std::basic_string_view<TUnit> Text, TVisit&& Visit) {
  const size_t N = Text.size();
  if (N == 0) return 0;
  Visit(size_t{0});
  size_t Lines = 1;
  // A break ends at an LF, and at a CR that no LF follows; a line starts after each end but
  // the text's own.
  const auto Ended = [&](size_t End) {
    if (End < N) {
      Visit(End);
      ++Lines;
    }
  };
  size_t At = 0;
  for (; At + 64 < N; At += 64) {
    uint64_t Cr;
    uint64_t Lf;
    BreakMasks(Text.data() + At, Cr, Lf);
    const uint64_t LfNext = Text[At + 64] == TUnit('\n');
    for (uint64_t Ends = Lf | (Cr & ~(Lf >> 1 | LfNext << 63)); Ends != 0; Ends &= Ends - 1) {
      Ended(At + static_cast<size_t>(std::countr_zero(Ends)) + 1);
    }
  }
  for (; At < N; ++At) {
    if (Text[At] == TUnit('\n') ||
        (Text[At] == TUnit('\r') && (At + 1 == N || Text[At + 1] != TUnit('\n')))) {
      Ended(At + 1);
    }
  }
  return Lines;
}

// Whether Text has at most one line: no break, or one at its very end. Reordering the lines of
// such a text leaves it as it is.
inline bool AtMostOneLine(std::u16string_view Text) noexcept {
  return BreakEnd(Text, FindBreak(Text.data(), 0, Text.size())) == Text.size();
}
inline bool AtMostOneLine(std::string_view Text) noexcept {
  return BreakEnd(Text, FindBreak(Text.data(), 0, Text.size())) == Text.size();
}

// The line break that ends Line: CR LF, a lone CR or a lone LF; empty when it has none.
template <class TUnit>
std::basic_string_view<TUnit> BreakOf(std::basic_string_view<TUnit> Line) noexcept {
  const size_t N = Line.size();
  if (N >= 2 && Line[N - 2] == TUnit('\r') && Line[N - 1] == TUnit('\n')) return Line.substr(N - 2);
  if (N != 0 && IsBreak(Line[N - 1])) return Line.substr(N - 1);
  return {};
}

}  // namespace LineScan
