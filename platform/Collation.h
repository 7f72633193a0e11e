// The order the dictionary sorts follow, chosen once at start by a program that runs on its own
// (the command-line tool). Linux: an ICU collation. Windows: the user's locale, which a
// process cannot choose for itself.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace Collation {

// A locale as the user named it: Name, and the environment variable it came from ("" when
// given on the command line).
struct TLocaleName {
  std::string Name;
  std::string Variable;
};

// What choosing a locale came to.
enum class TLocaleCase : uint8_t {
  lcOwn = 0,       // its own collation, or code-point order
  lcFallback = 1,  // the collation library knows it only through the more general Fallback
  lcRoot = 2,      // the system has it, the collation library not its language: root order
};
using enum TLocaleCase;

struct TLocaleChoice {
  TLocaleCase Case = lcOwn;
  TLocaleName Locale;
  std::string Fallback;  // the locale whose collation stands in (lcFallback)
};

// The locale is known neither to the collation library nor to the system.
class EUnknownLocale : public std::runtime_error {
 public:
  explicit EUnknownLocale(TLocaleName Locale)
      : std::runtime_error(Locale.Name), FLocale(std::move(Locale)) {}
  const TLocaleName& Locale() const { return FLocale; }

 private:
  TLocaleName FLocale;
};

// A locale was named where the sorts follow the user's locale, which a process cannot change
// for itself (Windows).
class ENoChoice : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes the dictionary orders follow Locale ("ja", "en_US.UTF-8"; "C" or "POSIX" for code-point
// order), or the environment's locale when none is given, and tells which collation stands in
// when it is not the locale's own. Throws EUnknownLocale or ENoChoice.
TLocaleChoice ChooseLocale(const std::optional<std::string>& Locale);

// Whether the chosen collation is code-point order (C or POSIX), which has no collation
// options such as numeric order.
bool IsCodePointOrder();

}  // namespace Collation
