// On Windows the dictionary orders use the user's default locale, which a process cannot change
// for itself: accepting a locale would silently ignore it.
#include "platform/Collation.h"

namespace Collation {

TLocaleChoice ChooseLocale(const std::optional<std::string>& Locale) {
  if (!Locale) return {};
  throw ENoChoice("the dictionary orders follow the user's locale");
}

bool IsCodePointOrder() { return false; }

}  // namespace Collation
