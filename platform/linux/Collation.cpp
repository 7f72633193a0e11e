// The tool's choice of collation on the stand-in's ICU collator.
#include "platform/Collation.h"

#include "platform/linux/Nls.h"

namespace Collation {

std::string ChooseLocale(const std::optional<std::string>& Locale) {
  try {
    return standin::SetCollationLocale(Locale.value_or(""));
  } catch (const std::runtime_error& e) {
    throw EUnknownLocale(e.what());
  }
}

bool IsCodePointOrder() { return standin::CollationLocale() == "C"; }

}  // namespace Collation
