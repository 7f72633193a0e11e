// The line commands behind the menu: each takes the selected text and returns the new text
// (highlighting returns the pattern that the plug-in hands to the editor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Tarnwick {

// Sorts or reverses the lines of Text by command 1..9 (see the menu); other identifiers throw
// SysUtils::EAssertionFailed "Error:function Sort".
std::u16string Sort(const std::u16string& Text, uint8_t CommandId);
// The same for a text the caller gives up: Text is released as soon as it is cut into lines
// (reversal reuses its storage for the result), so that the text and its lines are not held
// in memory together.
std::u16string Sort(std::u16string&& Text, uint8_t CommandId);

// Text without every line whose body repeats an earlier line's body.
std::u16string DuplicationDelete(const std::u16string& Text);

// Which lines DuplicationSelect keeps, in input order: those whose body occurs once in the
// whole text, or the first line of each body that occurs more than once.
enum class TOccurrence : uint8_t { ocOnce = 0, ocRepeated = 1 };
using enum TOccurrence;

// The lines of Text that Which chooses, each with its own break (the tool's dedupe
// --only-unique and --only-repeated). UTF-16, or valid UTF-8 as the commands below.
std::u16string DuplicationSelect(std::u16string_view Text, TOccurrence Which);
std::string DuplicationSelect(std::string_view Text, TOccurrence Which);

// Each distinct line once, as body ":" count and its own break, most frequent first.
std::u16string DuplicationDeleteCountDown(const std::u16string& Text);

// The editor pattern matching every line that repeats an earlier line exactly (breaks
// included, empty lines never): "^\Q" body "\E$" alternatives joined by "|".
std::u16string DuplicationHighlightPattern(const std::u16string& Text);

// The same form of pattern with one alternative for the body of each line of Text that starts
// at one of Lines, in that order (the tool's highlight with lines compared by a key).
std::u16string DuplicationHighlightPatternOf(std::u16string_view Text,
                                             const std::vector<size_t>& Lines);

// The three duplicate commands on valid UTF-8: the UTF-8 form of what they give on the UTF-16
// form of the text, since lines with equal UTF-8 bytes are exactly those with equal UTF-16
// code units, and CR and LF are one unit in both.
std::string DuplicationDelete(std::string_view Text);
std::string DuplicationDeleteCountDown(std::string_view Text);
std::string DuplicationHighlightPattern(std::string_view Text);
// DuplicationDelete on the Size bytes at Text, in their own storage: the result is left in the
// first bytes, and its length is returned.
size_t DuplicationDeleteInPlace(char* Text, size_t Size);

}  // namespace Tarnwick
