#include "commands/LineReversal.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "strings/FinalBreak.h"
#include "strings/LineScan.h"

namespace LineReversal {

namespace {

// UTF-16 and UTF-8 texts are reversed by the same code: every decision is about CR and LF,
// which are single code units in both.
template <class TUnit>
using TView = std::basic_string_view<TUnit>;

template <class TUnit>
std::basic_string<TUnit> Reversed(TView<TUnit> Text) {
  // Reversing needs no line cells: one pass finds where each line starts, and the lines are
  // copied from the text into the result back to front.
  const size_t N = Text.size();
  // A text of one line or none is its own reversal.
  if (LineScan::AtMostOneLine(Text)) return std::basic_string<TUnit>(Text);
  std::basic_string<TUnit> Result;
  std::vector<size_t> Starts;
  LineScan::ForEachLine(Text,
                        [&Starts](const LineScan::TLine& Line) { Starts.push_back(Line.Offset); });
  // Without a final break the last line, which ends up first, is lent one, and the first line,
  // which ends up last, gives its break back: copying stops that many units short.
  const size_t LastStart = Starts.back();
  const size_t BeforeStart = Starts.size() > 1 ? Starts[Starts.size() - 2] : LastStart;
  const FinalBreak::TFinalBreak<TUnit> Final(Text.substr(LastStart),
                                             Text.substr(BeforeStart, LastStart - BeforeStart));
  const bool Missing = Final.Lent();
  const TView<TUnit> Added = Final.Break();
  const TView<TUnit> First = Starts.size() > 1 ? Text.substr(0, Starts[1]) : Final.Last();
  const size_t Cut = First.size() - Final.TakeBack(First).size();
  Result.resize(N + Added.size() - Cut);
  TUnit* Out = Result.data();
  const TUnit* const Stop = Out + Result.size();
  auto Put = [&Out, Stop](const TUnit* From, size_t Count) {
    Count = std::min(Count, static_cast<size_t>(Stop - Out));
    std::memcpy(Out, From, Count * sizeof(TUnit));
    Out += Count;
  };
  size_t End = N;
  for (size_t K = Starts.size(); K-- > 0;) {
    Put(Text.data() + Starts[K], End - Starts[K]);
    if (Missing && End == N) Put(Added.data(), Added.size());
    End = Starts[K];
  }
  return Result;
}

// The units of the eight bytes W in reverse order.
inline uint64_t ReverseWord(uint64_t W, char) { return __builtin_bswap64(W); }
inline uint64_t ReverseWord(uint64_t W, char16_t) {
  W = (W >> 32) | (W << 32);
  return ((W >> 16) & 0x0000FFFF0000FFFFull) | ((W & 0x0000FFFF0000FFFFull) << 16);
}

// std::reverse over [First, Last), eight bytes from each end at a time: most of the time of a
// reversal in place goes here, and a unit at a time is several times slower.
template <class TUnit>
void ReverseUnits(TUnit* First, TUnit* Last) {
  constexpr size_t Word = 8 / sizeof(TUnit);  // units in eight bytes
  while (Last - First >= static_cast<ptrdiff_t>(2 * Word)) {
    Last -= Word;
    uint64_t Front;
    uint64_t Back;
    std::memcpy(&Front, First, 8);
    std::memcpy(&Back, Last, 8);
    Front = ReverseWord(Front, TUnit());
    Back = ReverseWord(Back, TUnit());
    std::memcpy(First, &Back, 8);
    std::memcpy(Last, &Front, 8);
    First += Word;
  }
  std::reverse(First, Last);
}

template <class TUnit>
void ReverseInPlace(std::basic_string<TUnit>& Text) {
  const size_t N = Text.size();
  if (LineScan::AtMostOneLine(TView<TUnit>(Text))) return;
  if (LineScan::BreakOf(TView<TUnit>(Text)).empty()) {
    // The break handed from the last line to the first can change the length: copied.
    Text = Reversed(TView<TUnit>(Text));
    return;
  }
  // Reversing every unit puts the lines in reverse order, each one reversed; reversing each
  // line back finishes the job. In the reversed text a line starts with its reversed break
  // (LF CR for CR LF, or a lone CR or LF) followed by its reversed body. An LF followed by a
  // CR there is always one reversed CR LF: a line ending in a lone CR is never followed by
  // a line starting with LF, since the two would have been one CR LF. (In UTF-8 each
  // character's bytes come back in their order with the line's other units.)
  TUnit* const Units = Text.data();
  ReverseUnits(Units, Units + N);
  size_t Begin = 0;
  while (Begin < N) {
    size_t End = Begin + 1;
    if (Units[Begin] == TUnit('\n') && End < N && Units[End] == TUnit('\r')) ++End;
    End = LineScan::FindBreak(Units, End, N);
    ReverseUnits(Units + Begin, Units + End);
    Begin = End;
  }
}

}  // namespace

std::u16string ReverseLines(std::u16string_view Text) { return Reversed(Text); }

void ReverseLinesInPlace(std::u16string& Text) { ReverseInPlace(Text); }

std::string ReverseLines(std::string_view Text) { return Reversed(Text); }

void ReverseLinesInPlace(std::string& Text) { ReverseInPlace(Text); }

}  // namespace LineReversal
