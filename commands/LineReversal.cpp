#include "commands/LineReversal.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "strings/LineScan.h"

namespace LineReversal {

namespace {

// The line break that ends Line: CR LF, a lone CR or LF, or nothing.
std::u16string_view BreakOf(std::u16string_view Line) {
  if (Line.size() >= 2 && Line.substr(Line.size() - 2) == u"\r\n")
    return Line.substr(Line.size() - 2);
  if (!Line.empty() && (Line.back() == u'\r' || Line.back() == u'\n'))
    return Line.substr(Line.size() - 1);
  return {};
}

}  // namespace

std::u16string ReverseLines(std::u16string_view Text) {
  // Reversing needs no line cells: one pass finds where each line starts, and the lines are
  // copied from the text into the result back to front.
  std::u16string Result;
  const size_t N = Text.size();
  if (N == 0) return Result;
  std::vector<size_t> Starts;
  LineScan::ForEachLine(Text,
                        [&Starts](const LineScan::TLine& Line) { Starts.push_back(Line.Offset); });
  const bool Missing = Text[N - 1] != u'\r' && Text[N - 1] != u'\n';
  // Without a final break the last line, which ends up first, takes the break of the line
  // before it (CR LF when it is the only line), and the first line, which ends up last, loses
  // its break: the one it was given when it is the only line, else its own (the text of the
  // first line has no other CR or LF). Copying stops that many units short.
  std::u16string_view Added;
  size_t Cut = 0;
  if (Missing) {
    Added = Starts.size() > 1
                ? BreakOf(Text.substr(Starts[Starts.size() - 2],
                                      Starts[Starts.size() - 1] - Starts[Starts.size() - 2]))
                : std::u16string_view(u"\r\n");
    const std::u16string_view First = Starts.size() > 1 ? Text.substr(0, Starts[1]) : Added;
    Cut = BreakOf(First).size();
  }
  Result.resize(N + Added.size() - Cut);
  char16_t* Out = Result.data();
  const char16_t* const Stop = Out + Result.size();
  auto Put = [&Out, Stop](const char16_t* From, size_t Count) {
    Count = std::min(Count, static_cast<size_t>(Stop - Out));
    std::memcpy(Out, From, Count * sizeof(char16_t));
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

void ReverseLinesInPlace(std::u16string& Text) {
  const size_t N = Text.size();
  if (N == 0) return;
  if (Text[N - 1] != u'\r' && Text[N - 1] != u'\n') {
    // The break handed from the last line to the first can change the length: copied.
    Text = ReverseLines(Text);
    return;
  }
  // Reversing every unit puts the lines in reverse order, each one reversed; reversing each
  // line back finishes the job. In the reversed text a line starts with its reversed break
  // (LF CR for CR LF, or a lone CR or LF) followed by its reversed body. An LF followed by a
  // CR there is always one reversed CR LF: a line ending in a lone CR is never followed by
  // a line starting with LF, since the two would have been one CR LF.
  std::reverse(Text.begin(), Text.end());
  char16_t* const Units = Text.data();
  size_t Begin = 0;
  while (Begin < N) {
    size_t End = Begin + 1;
    if (Units[Begin] == u'\n' && End < N && Units[End] == u'\r') ++End;
    End = LineScan::FindBreak(Units, End, N);
    std::reverse(Units + Begin, Units + End);
    Begin = End;
  }
}

}  // namespace LineReversal
