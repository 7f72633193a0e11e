// The messages on Windows: Japanese from a table made of the catalogue at build time, chosen
// by the user's interface language.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "MessageTable.h"
#include "cli/Messages.h"

namespace Messages {
namespace {

bool gJapanese = false;

}  // namespace

void UseUserLanguage() { gJapanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE; }

const char* Translate(const char* English) {
  if (!gJapanese) return English;
  // kJapanese is sorted by the bytes of its English texts.
  const auto* found = std::lower_bound(std::begin(kJapanese), std::end(kJapanese), English,
                                       [](const TTranslation& Entry, const char* Key) {
                                         return std::strcmp(Entry.English, Key) < 0;
                                       });
  return found != std::end(kJapanese) && std::strcmp(found->English, English) == 0 ? found->Japanese
                                                                                   : English;
}

}  // namespace Messages
