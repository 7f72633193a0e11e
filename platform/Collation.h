// The order the dictionary sorts follow, chosen once at start by a program that runs on its own
// (the command-line tool). Linux: an ICU collation. Windows: the user's locale, which a
// process cannot choose for itself.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace Collation {

// The locale is known neither to the collation library nor to the system; the message names it
// (and the variable it came from).
class EUnknownLocale : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A locale was named where the sorts follow the user's locale, which a process cannot change
// for itself (Windows).
class ENoChoice : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes the dictionary orders follow Locale ("ja", "en_US.UTF-8"; "C" or "POSIX" for code-point
// order), or the environment's locale when none is given. Returns a warning when another order
// stands in for it, otherwise "". Throws EUnknownLocale or ENoChoice.
std::string ChooseLocale(const std::optional<std::string>& Locale);

// Whether the chosen collation is code-point order (C or POSIX), which has no collation
// options such as numeric order.
bool IsCodePointOrder();

}  // namespace Collation
