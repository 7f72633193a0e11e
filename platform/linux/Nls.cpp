// CompareStringW and LCMapStringW on ICU, with the Windows calling contract.

#include "platform/linux/Nls.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/Win32.h"

namespace standin {
namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

struct CollatorState {
  std::string locale;
  std::unique_ptr<UCollator, CollatorCloser> collator;
};

// POSIX names such as "ja_JP.UTF-8@euro" carry a code set and modifier ICU does not want;
// "C" and "POSIX" mean no language at all, which is ICU's root collation.
std::string IcuLocaleFromPosix(std::string name) {
  if (auto at = name.find('@'); at != std::string::npos) name.erase(at);
  if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
  if (name == "C" || name == "POSIX") return "";
  return name;
}

std::string EnvironmentLocale() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return IcuLocaleFromPosix(value);
  }
  return "";
}

std::unique_ptr<UCollator, CollatorCloser> OpenCollator(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* c = ucol_open(locale.c_str(), &status);
  if (U_FAILURE(status)) {
    throw std::runtime_error("cannot open a collator for locale '" + locale +
                             "': " + u_errorName(status));
  }
  return std::unique_ptr<UCollator, CollatorCloser>(c);
}

CollatorState& State() {
  static CollatorState state;
  return state;
}

// The collator is opened on first use and kept: opening one costs far more than a comparison.
UCollator* Collator() {
  CollatorState& s = State();
  if (!s.collator) {
    s.locale = EnvironmentLocale();
    s.collator = OpenCollator(s.locale);
  }
  return s.collator.get();
}

}  // namespace

int32_t Length(LPCWSTR s, int n) { return n < 0 ? u_strlen(s) : n; }

void SetCollationLocale(const std::string& name) {
  std::string locale = name.empty() ? EnvironmentLocale() : IcuLocaleFromPosix(name);
  auto collator = OpenCollator(locale);
  State().locale = locale;
  State().collator = std::move(collator);
}

std::string CollationLocale() {
  Collator();
  return State().locale;
}

}  // namespace standin

int CompareStringW(LCID, DWORD flags, LPCWSTR s1, int n1, LPCWSTR s2, int n2) {
  if (flags != 0 || s1 == nullptr || s2 == nullptr) return 0;
  switch (
      ucol_strcoll(standin::Collator(), s1, standin::Length(s1, n1), s2, standin::Length(s2, n2))) {
    case UCOL_LESS:
      return CSTR_LESS_THAN;
    case UCOL_EQUAL:
      return CSTR_EQUAL;
    case UCOL_GREATER:
      return CSTR_GREATER_THAN;
  }
  return 0;
}

namespace {

char16_t HalfWidth(char16_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFF01 + 0x21);
  if (c == 0x3000) return 0x20;
  switch (c) {
    case 0xFFE0:
      return 0x00A2;
    case 0xFFE1:
      return 0x00A3;
    case 0xFFE2:
      return 0x00AC;
    case 0xFFE3:
      return 0x00AF;
    case 0xFFE4:
      return 0x00A6;
    case 0xFFE5:
      return 0x00A5;
    case 0xFFE6:
      return 0x20A9;
    default:
      return c;
  }
}

int MapHalfWidth(LPCWSTR src, int srcLen, LPWSTR dest, int destLen) {
  // A length of -1 includes the terminating NUL in both the mapping and the count.
  int32_t n = srcLen < 0 ? u_strlen(src) + 1 : srcLen;
  if (destLen == 0) return n;
  if (dest == nullptr || destLen < n) return 0;
  for (int32_t i = 0; i < n; ++i) dest[i] = HalfWidth(src[i]);
  return n;
}

// For LCMAP_SORTKEY, dest is a byte buffer and destLen counts bytes, as on Windows.
int MapSortKey(LPCWSTR src, int srcLen, LPWSTR dest, int destLen) {
  const int32_t n = standin::Length(src, srcLen);
  if (destLen == 0) return ucol_getSortKey(standin::Collator(), src, n, nullptr, 0);
  if (dest == nullptr) return 0;
  auto* bytes = reinterpret_cast<uint8_t*>(dest);
  const int32_t needed = ucol_getSortKey(standin::Collator(), src, n, bytes, destLen);
  return needed > destLen ? 0 : needed;
}

}  // namespace

int LCMapStringW(LCID, DWORD flags, LPCWSTR src, int srcLen, LPWSTR dest, int destLen) {
  if (src == nullptr || destLen < 0) return 0;
  if (flags == LCMAP_HALFWIDTH) return MapHalfWidth(src, srcLen, dest, destLen);
  if (flags == LCMAP_SORTKEY) return MapSortKey(src, srcLen, dest, destLen);
  return 0;
}
