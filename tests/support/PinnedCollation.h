// The collation of the dictionary orders pinned for as long as a test fixture holds it, so
// that an expected order does not depend on the machine's locale; the environment's collation
// comes back when it ends, so that no test leaves its collation to the tests after it. Only
// the Linux stand-in can be pinned: on Windows the system's collation is used and this does
// nothing.
#pragma once

#include <string>

#ifndef _WIN32
#include "platform/linux/Nls.h"
#endif

class TPinnedCollation {
 public:
  explicit TPinnedCollation(const std::string& Locale) { Pin(Locale); }
  ~TPinnedCollation() { Pin(""); }
  TPinnedCollation(const TPinnedCollation&) = delete;
  TPinnedCollation& operator=(const TPinnedCollation&) = delete;

 private:
  static void Pin([[maybe_unused]] const std::string& Locale) {
#ifndef _WIN32
    standin::SetCollationLocale(Locale);
#endif
  }
};
