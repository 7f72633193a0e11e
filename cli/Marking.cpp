// Marks what the highlight pattern matches, found by hashing rather than by the pattern: the
// editor's regular expression is not available here, and bodies may hold "\E" or other text
// the pattern does not quote.
#include "cli/Marking.h"

#include <unordered_set>

namespace Marking {
namespace {

struct TLine {
  std::u16string_view Whole;  // with its line break
  std::u16string_view Body;   // without it
};

// The lines of Text, each ending in CR LF, CR or LF; a last piece without a break is a line
// when it is not empty.
std::vector<TLine> SplitLines(std::u16string_view Text) {
  std::vector<TLine> lines;
  size_t start = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    const char16_t c = Text[i];
    if (c != u'\r' && c != u'\n') continue;
    const size_t bodyEnd = i;
    if (c == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
    lines.push_back({Text.substr(start, i + 1 - start), Text.substr(start, bodyEnd - start)});
    start = i + 1;
  }
  if (start < Text.size()) lines.push_back({Text.substr(start), Text.substr(start)});
  return lines;
}

}  // namespace

std::vector<bool> MarkedLines(std::u16string_view Text) {
  const std::vector<TLine> lines = SplitLines(Text);
  std::unordered_set<std::u16string_view> seen, repeatedBodies;
  for (const TLine& line : lines) {
    if (line.Body.empty()) continue;  // empty lines never count
    if (!seen.insert(line.Whole).second) repeatedBodies.insert(line.Body);
  }
  std::vector<bool> marked(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) marked[i] = repeatedBodies.contains(lines[i].Body);
  return marked;
}

std::u16string MarkText(std::u16string_view Text, std::u16string_view Open,
                        std::u16string_view Close, std::u16string_view Plain) {
  const std::vector<TLine> lines = SplitLines(Text);
  const std::vector<bool> marked = MarkedLines(Text);
  std::u16string out;
  out.reserve(Text.size() + lines.size() * (Open.size() + Close.size()));
  for (size_t i = 0; i < lines.size(); ++i) {
    const TLine& line = lines[i];
    if (marked[i]) {
      out.append(Open).append(line.Body).append(Close);
    } else {
      out.append(Plain).append(line.Body);
    }
    out.append(line.Whole.substr(line.Body.size()));
  }
  return out;
}

}  // namespace Marking
