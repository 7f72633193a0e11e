// Character-width conversion through the platform's LCMapStringW.
// Used by the tests alone (the plain sort reference); no command needs it.
#pragma once

#include <string>

namespace StringConvertUnit {

// S with full-width forms (digits, signs, ASCII letters, the ideographic space) mapped to their
// half-width forms; the empty string when the platform cannot map it.
std::u16string ToHalfWidth(const std::u16string& S);

}  // namespace StringConvertUnit
