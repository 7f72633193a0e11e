// The line commands behind the menu: each takes the selected text and returns the new text
// (highlighting returns the pattern that the plug-in hands to the editor).
#pragma once

#include <cstdint>
#include <string>

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

// Each distinct line once, as body ":" count and its own break, most frequent first.
std::u16string DuplicationDeleteCountDown(const std::u16string& Text);

// The editor pattern matching every line that repeats an earlier line exactly (breaks
// included, empty lines never): "^\Q" body "\E$" alternatives joined by "|".
std::u16string DuplicationHighlightPattern(const std::u16string& Text);

}  // namespace Tarnwick
