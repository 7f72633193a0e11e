#include "commands/LineReversal.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace LineReversal {

namespace {

// The index of the first CR or LF in Units[From, N), or N: eight units at a time where the
// processor has SSE2, since the scan reads every unit of the text.
size_t NextBreak(const char16_t* Units, size_t From, size_t N) {
#ifdef __SSE2__
  const __m128i Cr = _mm_set1_epi16(u'\r');
  const __m128i Lf = _mm_set1_epi16(u'\n');
  for (; From + 8 <= N; From += 8) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Units + From));
    const int Mask =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(V, Cr), _mm_cmpeq_epi16(V, Lf)));
    if (Mask != 0)
      return From + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(Mask))) / 2;
  }
#endif
  while (From < N && Units[From] != u'\r' && Units[From] != u'\n') ++From;
  return From;
}

}  // namespace

std::u16string ReverseLines(std::u16string_view Text) {
  // Reversing needs no line cells: one pass finds where each line starts, and the lines are
  // copied from the text into the result back to front.
  std::u16string Result;
  const size_t N = Text.size();
  if (N == 0) return Result;
  std::vector<size_t> Starts{0};
  for (size_t P = NextBreak(Text.data(), 0, N); P < N; P = NextBreak(Text.data(), P + 1, N)) {
    if (Text[P] == u'\r' && P + 1 < N && Text[P + 1] == u'\n') ++P;
    if (P + 1 < N) Starts.push_back(P + 1);
  }
  const bool Missing = Text[N - 1] != u'\r' && Text[N - 1] != u'\n';
  // Without a final break the first line, which ends up last, loses its break: the CR LF it
  // was given when it is the only line, else its own (the text of the first line has no other
  // CR or LF). Copying stops that many units short.
  size_t Cut = 0;
  if (Missing) {
    const std::u16string_view First =
        Starts.size() > 1 ? Text.substr(0, Starts[1]) : std::u16string_view(u"\r\n");
    Cut = First.size() >= 2 && First.substr(First.size() - 2) == u"\r\n" ? 2 : 1;
  }
  Result.resize(N + (Missing ? 2 : 0) - Cut);
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
    if (Missing && End == N) Put(u"\r\n", 2);
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
    End = NextBreak(Units, End, N);
    std::reverse(Units + Begin, Units + End);
    Begin = End;
  }
}

}  // namespace LineReversal
