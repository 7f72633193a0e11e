// The text with its duplicated lines marked, for reading on a terminal what the editor would
// highlight.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Marking {

// One entry per line of Text: true for every line the highlight pattern matches. The pattern
// has an alternative for each non-empty line whose exact text, line break included, occurs
// earlier; it matches every line with that body, so the first occurrence is marked too, and
// so is a copy with another line break.
std::vector<bool> MarkedLines(std::u16string_view Text);
// The same on valid UTF-8.
std::vector<bool> MarkedLines(std::string_view Text);

// Text with Open before and Close after the body of every marked line, and Plain before the
// body of every other line; line breaks stay where they are.
std::u16string MarkText(std::u16string_view Text, std::u16string_view Open,
                        std::u16string_view Close, std::u16string_view Plain);
// The same with the lines Marks (one entry per line) marks.
std::u16string MarkText(std::u16string_view Text, const std::vector<bool>& Marks,
                        std::u16string_view Open, std::u16string_view Close,
                        std::u16string_view Plain);
// The same on valid UTF-8 (the marks in UTF-8 too).
std::string MarkText(std::string_view Text, std::string_view Open, std::string_view Close,
                     std::string_view Plain);

}  // namespace Marking
