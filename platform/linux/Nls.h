// Stand-in controls for the national-language functions: which collation "the user's locale"
// means on Linux.
#pragma once

#include <string>

#include "platform/Collation.h"

namespace standin {

// Sets the collation locale from an ICU or POSIX locale name ("ja_JP.UTF-8", "en", "root" for
// the CLDR root collation); "C" and "POSIX", with any code set, choose code-point order. An
// empty name returns to the environment (LC_ALL, then LC_COLLATE, then LANG; none set is "C").
// Tells when ICU knows the name only through a more general locale (lcFallback: "en_ZZ" gets
// "en"), or knows neither it nor its language but the system has the locale (lcRoot: the root
// collation is used). Throws Collation::EUnknownLocale, naming the locale and the variable it
// came from, when neither knows it; the collation is then unchanged. The collator itself is
// opened by the first comparison or sort key.
Collation::TLocaleChoice SetCollationLocale(const std::string& name);

// Whether the C library has the locale Name (installed, and accepted by newlocale). Tests
// replace it to stand for a system with or without a locale.
extern bool (*SystemHasLocale)(const std::string& Name);

// The ICU locale name the collator is opened with ("" is the root collation), or "C" for
// code-point order.
std::string CollationLocale();

// Whether a collator for the chosen locale has been opened: false until the first comparison
// or sort key in a locale other than code-point order.
bool CollatorOpened();

// For tests: from now on LCMAP_SORTKEY fails, as a platform with no key for a string would,
// for every string that holds Unit; 0 ends that.
void FailSortKeysOn(char16_t Unit);

}  // namespace standin
