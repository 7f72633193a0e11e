// The tool's choice of collation on the stand-in's ICU collator.
#include "platform/Collation.h"

#include "platform/linux/Nls.h"

namespace Collation {

TLocaleChoice ChooseLocale(const std::optional<std::string>& Locale) {
  return standin::SetCollationLocale(Locale.value_or(""));
}

bool IsCodePointOrder() { return standin::CollationLocale() == "C"; }

}  // namespace Collation
