// The reversal of a text's lines, straight on the text.
#pragma once

#include <string>
#include <string_view>

namespace LineReversal {

// The lines of Text (each with its own CR LF, CR or LF) in reverse order, exactly as the line
// list's descending ReverseSort leaves them: a last line without a break takes the break of
// the line before it (CR LF for a text of one line), and the line that ends up last then loses
// its break.
std::u16string ReverseLines(std::u16string_view Text);

// Text becomes ReverseLines(Text), in its own storage where its last line has a break.
void ReverseLinesInPlace(std::u16string& Text);

}  // namespace LineReversal
