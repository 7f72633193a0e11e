#include <vector>

#include "commands/DuplicationLineTable.h"
#include "commands/LineCommands.h"

namespace Tarnwick {

namespace {

// The pieces of the pattern, in either code unit (all ASCII).
template <class TUnit>
struct TPatternParts {
  static constexpr TUnit Open[] = {'^', '\\', 'Q'};
  static constexpr TUnit Close[] = {'\\', 'E', '$', '|'};
  // What a "\E" inside a body becomes: close the quote, an escaped backslash, a plain E, and
  // open the quote again.
  static constexpr TUnit QuotedBackslashE[] = {'\\', 'E', '\\', '\\', 'E', '\\', 'Q'};
};

// Appends Body as literal text inside a \Q...\E quote that is already open. A "\E" in the
// body would close the quote early, so each one is written as QuotedBackslashE.
template <class TUnit>
void AppendQuoted(std::basic_string<TUnit>& Pattern, std::basic_string_view<TUnit> Body) {
  using TParts = TPatternParts<TUnit>;
  size_t From = 0;
  for (size_t At = 0; At + 1 < Body.size(); ++At) {
    if (Body[At] == TUnit('\\') && Body[At + 1] == TUnit('E')) {
      Pattern.append(Body.substr(From, At - From))
          .append(TParts::QuotedBackslashE, std::size(TParts::QuotedBackslashE));
      From = At + 2;
      ++At;
    }
  }
  Pattern.append(Body.substr(From));
}

template <class TUnit>
std::basic_string<TUnit> HighlightPattern(std::basic_string_view<TUnit> Text) {
  using namespace DuplicationLineTable;
  using TParts = TPatternParts<TUnit>;
  constexpr size_t OpenSize = std::size(TParts::Open);
  constexpr size_t CloseSize = std::size(TParts::Close);
  // One alternative per line that repeats an earlier line exactly (break included), in text
  // order: a line that occurs k times gives k - 1 alternatives. Empty lines never count.
  TDistinctLinesOf<TUnit> Distinct(Text, kkWholeLine, nbUnnumbered);
  std::vector<size_t> Repeats;
  size_t Total = 0;
  Distinct.Scan([&](const TLine& Line, uint32_t, bool Added) {
    if (Added) return;
    Repeats.push_back(Line.Offset);
    Total += OpenSize + Line.BodyLength + CloseSize;
  });
  Distinct.ReleaseIndex();

  // Sized for the usual case of bodies without "\E"; those add a little and may grow it.
  std::basic_string<TUnit> Pattern;
  Pattern.reserve(Total);
  for (const size_t Offset : Repeats) {
    const TLine Line = LineScan::LineAt(Text, Offset);
    Pattern.append(TParts::Open, OpenSize);
    AppendQuoted(Pattern, Text.substr(Line.Offset, Line.BodyLength));
    Pattern.append(TParts::Close, CloseSize);
  }
  if (!Pattern.empty()) Pattern.pop_back();  // The separator after the last alternative.
  return Pattern;
}

}  // namespace

std::u16string DuplicationHighlightPatternOf(std::u16string_view Text,
                                             const std::vector<size_t>& Lines) {
  using TParts = TPatternParts<char16_t>;
  std::u16string Pattern;
  for (const size_t Offset : Lines) {
    const LineScan::TLine Line = LineScan::LineAt(Text, Offset);
    Pattern.append(TParts::Open, std::size(TParts::Open));
    AppendQuoted(Pattern, Text.substr(Line.Offset, Line.BodyLength));
    Pattern.append(TParts::Close, std::size(TParts::Close));
  }
  if (!Pattern.empty()) Pattern.pop_back();
  return Pattern;
}

std::u16string DuplicationHighlightPattern(const std::u16string& Text) {
  return HighlightPattern<char16_t>(Text);
}

std::string DuplicationHighlightPattern(std::string_view Text) {
  return HighlightPattern<char>(Text);
}

}  // namespace Tarnwick
