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

// The same two on valid UTF-8: byte for byte the UTF-8 form of what they give on the UTF-16
// form of the text, since CR and LF are one unit in both and the lines move whole.
std::string ReverseLines(std::string_view Text);
void ReverseLinesInPlace(std::string& Text);

}  // namespace LineReversal
