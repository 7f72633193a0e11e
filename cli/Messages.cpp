// Filling in a translated message's parts: the platform-neutral half of the messages.
#include "cli/Messages.h"

namespace Messages {

std::string Fill(std::string_view Pattern, std::initializer_list<std::string_view> Parts) {
  std::string out;
  out.reserve(Pattern.size());
  size_t next = 0;
  for (size_t i = 0; i < Pattern.size(); ++i) {
    if (Pattern[i] != '%' || i + 1 == Pattern.size()) {
      out += Pattern[i];
      continue;
    }
    size_t at = i + 1, number = 0;
    while (at < Pattern.size() && Pattern[at] >= '0' && Pattern[at] <= '9' && number < 100)
      number = number * 10 + (Pattern[at++] - '0');
    if (Pattern[i + 1] == '%') {
      out += '%';
      i += 1;
    } else if (Pattern[i + 1] == 's') {
      if (next < Parts.size()) out += Parts.begin()[next];
      ++next;
      i += 1;
    } else if (number > 0 && at + 1 < Pattern.size() && Pattern[at] == '$' &&
               Pattern[at + 1] == 's') {
      if (number <= Parts.size()) out += Parts.begin()[number - 1];
      i = at + 1;
    } else {
      out += '%';  // not a conversion: kept as written
    }
  }
  return out;
}

std::string Translate(const char* English, std::initializer_list<std::string_view> Parts) {
  return Fill(Translate(English), Parts);
}

}  // namespace Messages
