// Stand-in controls for the national-language functions: which collation "the user's locale"
// means on Linux.
#pragma once

#include <string>

namespace standin {

// Sets the collation locale (an ICU or POSIX locale name such as "ja_JP.UTF-8" or "en");
// an empty name returns to the environment (LC_ALL, then LC_COLLATE, then LANG).
// Throws std::runtime_error when ICU cannot open a collator for the name.
void SetCollationLocale(const std::string& name);

// The ICU locale name the collator is opened with ("" is the root collation).
std::string CollationLocale();

}  // namespace standin
