// The messages on Linux: gettext, with the catalogue found beside the program.
#include <libintl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "cli/Messages.h"

namespace Messages {
namespace {

constexpr const char* kDomain = "tarnwick";
bool gChosen = false;

// The folder of the compiled catalogues: TARNWICK_LOCALEDIR_RELATIVE from the program's own
// folder, where both the build tree and an installation (also one moved elsewhere) keep them,
// else the folder the installation was configured for.
std::string CatalogueFolder() {
  std::string self(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", self.data(), self.size());
  if (n > 0 && static_cast<size_t>(n) < self.size()) {
    self.resize(n);
    const std::string folder = self.substr(0, self.rfind('/') + 1) + TARNWICK_LOCALEDIR_RELATIVE;
    struct stat st;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
  }
  return TARNWICK_LOCALEDIR;
}

}  // namespace

void UseUserLanguage() {
  // Only the messages follow the environment: the collation is chosen through ICU, and the C
  // library's character and number handling must stay that of the "C" locale.
  if (setlocale(LC_MESSAGES, "") == nullptr) return;
  bindtextdomain(kDomain, CatalogueFolder().c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  // The C library's own messages (strerror's) follow LC_MESSAGES too; without this they would
  // be converted to the character set of the "C" locale, ASCII, and show as question marks.
  bind_textdomain_codeset("libc", "UTF-8");
  gChosen = true;
}

const char* Translate(const char* English) {
  // gettext("") is the catalogue's header, not an empty message.
  if (!gChosen || *English == '\0') return English;
  return dgettext(kDomain, English);
}

}  // namespace Messages
