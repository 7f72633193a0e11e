// The tool's messages in the user's language: the English text written at the call, or its
// Japanese from the catalogue (po/ja.po) when the user's language is Japanese.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace Messages {

// Chooses the language as programs on this platform do: on Linux LC_ALL, LC_MESSAGES, LANG
// and LANGUAGE through gettext, on Windows the user's interface language. Until then, and
// for a language without a catalogue, every message is English.
void UseUserLanguage();

// The message in the chosen language; English when the catalogue has no translation of it.
const char* Translate(const char* English);

// The translated message with its parts filled in, as Fill does.
std::string Translate(const char* English, std::initializer_list<std::string_view> Parts);

// Pattern with "%s" replaced by the next of Parts and "%N$s" by the Nth (from 1), as
// gettext's C format strings number them; "%%" is a "%". A part beyond Parts is left empty.
std::string Fill(std::string_view Pattern, std::initializer_list<std::string_view> Parts);

// Marks a message kept in a table for the catalogue; it is translated where it is shown.
constexpr const char* ForTranslation(const char* English) { return English; }

}  // namespace Messages
