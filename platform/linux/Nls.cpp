// CompareStringW, LCMapStringW and NormalizeString on ICU, with the Windows calling contract.

#include "platform/linux/Nls.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/ures.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/uvernum.h>

#include <dlfcn.h>
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Win32.h"

namespace standin {
namespace {

// ICU's collation lives in its i18n library, which the process loads when it first opens a
// collator rather than at start-up: loading it resolves thousands of relocations, about 1 MB
// of touched pages that reversal, the duplicate commands and code-point order never use.
// The functions are found by their versioned names ("ucol_open_72"), as the headers call them.
#define TARNWICK_ICU_SYMBOL_TEXT(name) #name
#define TARNWICK_ICU_SYMBOL(name) TARNWICK_ICU_SYMBOL_TEXT(name)

struct CollationLibrary {
  decltype(&ucol_open) open;
  decltype(&ucol_close) close;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  decltype(&ucol_clone) clone;
#else
  decltype(&ucol_safeClone) clone;
#endif
  decltype(&ucol_strcoll) strcoll;
  decltype(&ucol_getSortKey) getSortKey;
  decltype(&ucol_setAttribute) setAttribute;
};

template <typename Function>
void Find(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  if (function == nullptr) {
    throw std::runtime_error(std::string("the collation library lacks ") + name);
  }
}

CollationLibrary LoadCollationLibrary() {
  const char* name = "libicui18n.so." U_ICU_VERSION_SHORT;
  // Never closed: the collators made from it live until the process ends.
  void* library = ::dlopen(name, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = ::dlerror();
    throw std::runtime_error(std::string("cannot load the collation library ") + name + ": " +
                             (why != nullptr ? why : "unknown error"));
  }
  CollationLibrary l{};
  Find(library, TARNWICK_ICU_SYMBOL(ucol_open), l.open);
  Find(library, TARNWICK_ICU_SYMBOL(ucol_close), l.close);
#if U_ICU_VERSION_MAJOR_NUM >= 71
  Find(library, TARNWICK_ICU_SYMBOL(ucol_clone), l.clone);
#else
  Find(library, TARNWICK_ICU_SYMBOL(ucol_safeClone), l.clone);
#endif
  Find(library, TARNWICK_ICU_SYMBOL(ucol_strcoll), l.strcoll);
  Find(library, TARNWICK_ICU_SYMBOL(ucol_getSortKey), l.getSortKey);
  Find(library, TARNWICK_ICU_SYMBOL(ucol_setAttribute), l.setAttribute);
  return l;
}

// Loaded on the first call (a failure is thrown, and the next call tries again).
const CollationLibrary& Icu() {
  static const CollationLibrary library = LoadCollationLibrary();
  return library;
}

struct CollatorCloser {
  // A collator exists only once the library is loaded.
  void operator()(UCollator* c) const { Icu().close(c); }
};

// The locale name that stands for code-point order (the POSIX "C" locale).
const std::string kCodePoint = "C";

// The collation chosen. A UCollator is not to be used by two threads at once: each thread
// works on a copy of its own (see Collator), made again when the choice changes. Choosing a
// locale only names it: the collator, whose tailoring and the root collation data under it
// come to about 2 MB of touched pages, is opened by the first comparison or sort key, so a
// program that never collates never pays for it.
struct CollatorState {
  std::mutex lock;                                      // guards the four below
  std::string locale;                                   // the ICU name, or kCodePoint
  std::unique_ptr<UCollator, CollatorCloser> collator;  // none in code-point order
  bool ready = false;                                   // locale chosen
  bool opened = false;                                  // collator opened for that locale
  std::atomic<uint64_t> generation{0};  // advances whenever the choice is made or changed
};

// POSIX names such as "ja_JP.UTF-8@euro" carry a code set and modifier ICU does not want.
// "C" and "POSIX" are code-point order, as in the C library's collation of those locales.
std::string IcuLocaleFromPosix(std::string name) {
  if (auto at = name.find('@'); at != std::string::npos) name.erase(at);
  if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
  if (name == "C" || name == "POSIX") return kCodePoint;
  return name;
}

// The locale name the environment gives and the variable it came from; none set means "C",
// as for the C library.
std::pair<std::string, std::string> EnvironmentLocale() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return {value, var};
  }
  return {kCodePoint, ""};
}

// Whether ICU has data for Locale: its own, or only a more general locale's (lcFallback), or
// none but the root's. ICU would then silently use the root order: that is done (lcRoot),
// Locale becoming "root", when the system has the locale (glibc knows far more languages than
// ICU collates, as aa_DJ or ber_MA), and is an error otherwise.
Collation::TLocaleChoice CheckKnown(std::string& locale, const Collation::TLocaleName& given) {
  if (locale == kCodePoint || locale.empty() || locale == "root") return {};
  UErrorCode status = U_ZERO_ERROR;
  UResourceBundle* bundle = ures_open(nullptr, locale.c_str(), &status);
  UErrorCode ignored = U_ZERO_ERROR;
  const char* actual = bundle ? ures_getLocaleByType(bundle, ULOC_ACTUAL_LOCALE, &ignored) : "";
  std::string fallback = actual != nullptr ? actual : "";
  ures_close(bundle);
  if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING) {
    if (!SystemHasLocale(given.Name)) throw Collation::EUnknownLocale(given);
    locale = "root";
    return {Collation::lcRoot, given, ""};
  }
  if (status == U_USING_FALLBACK_WARNING)
    return {Collation::lcFallback, given, std::move(fallback)};
  return {};
}

std::unique_ptr<UCollator, CollatorCloser> OpenCollator(const std::string& locale) {
  if (locale == kCodePoint) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  UCollator* c = Icu().open(locale.c_str(), &status);
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

// Without an explicit choice the locale comes from the environment on first use, and an
// unknown one gets the root order, as ICU gives it: the national-language functions have no
// way to report it. Called with the lock held.
void EnsureReady(CollatorState& s) {
  if (!s.ready) {
    s.locale = IcuLocaleFromPosix(EnvironmentLocale().first);
    try {
      CheckKnown(s.locale, {s.locale, ""});
    } catch (const Collation::EUnknownLocale&) {
      s.locale = "root";
    }
    s.collator = nullptr;
    s.opened = false;
    s.ready = true;
    ++s.generation;
  }
}

// The collator of the chosen locale, opened on first use and kept: opening one costs far more
// than a comparison. Called with the lock held.
void EnsureOpen(CollatorState& s) {
  EnsureReady(s);
  if (!s.opened) {
    s.collator = OpenCollator(s.locale);
    s.opened = true;
  }
}

std::unique_ptr<UCollator, CollatorCloser> Clone(const UCollator* c) {
  UErrorCode status = U_ZERO_ERROR;
#if U_ICU_VERSION_MAJOR_NUM >= 71
  UCollator* copy = Icu().clone(c, &status);
#else
  UCollator* copy = Icu().clone(c, nullptr, nullptr, &status);
#endif
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("cannot copy the collator: ") + u_errorName(status));
  }
  return std::unique_ptr<UCollator, CollatorCloser>(copy);
}

// This thread's copy of the chosen collator, with runs of digits compared by their value when
// Numeric (SORT_DIGITSASNUMBERS); null in code-point order. Copying costs far more than a
// comparison, so the copies are kept until the choice changes.
UCollator* Collator(bool Numeric = false) {
  struct Copy {
    uint64_t generation = 0;
    std::unique_ptr<UCollator, CollatorCloser> collator;
    std::unique_ptr<UCollator, CollatorCloser> numeric;
  };
  thread_local Copy mine;
  CollatorState& s = State();
  if (mine.generation == 0 || mine.generation != s.generation.load(std::memory_order_acquire)) {
    std::lock_guard guard(s.lock);
    EnsureOpen(s);
    mine.collator = s.collator ? Clone(s.collator.get()) : nullptr;
    mine.numeric.reset();
    mine.generation = s.generation.load(std::memory_order_relaxed);
  }
  if (!Numeric || mine.collator == nullptr) return mine.collator.get();
  if (mine.numeric == nullptr) {
    mine.numeric = Clone(mine.collator.get());
    UErrorCode status = U_ZERO_ERROR;
    Icu().setAttribute(mine.numeric.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    if (U_FAILURE(status)) throw std::runtime_error("cannot compare digits as numbers");
  }
  return mine.numeric.get();
}

// The code point at S[I], I moved past it; an unpaired surrogate stands for itself.
inline uint32_t NextCodePoint(LPCWSTR S, int32_t N, int32_t& I) {
  const char16_t C = S[I++];
  if (C >= 0xD800 && C <= 0xDBFF && I < N && S[I] >= 0xDC00 && S[I] <= 0xDFFF)
    return 0x10000 + ((C - 0xD800u) << 10) + (S[I++] - 0xDC00u);
  return C;
}

// Code-point order: UTF-16 code-unit order would put U+10000 and above before U+E000..U+FFFF.
int CompareCodePoints(LPCWSTR S1, int32_t N1, LPCWSTR S2, int32_t N2) {
  int32_t I = 0;
  while (I < N1 && I < N2 && S1[I] == S2[I]) ++I;
  // Start again at a surrogate pair the common part ends inside.
  if (I > 0 && S1[I - 1] >= 0xD800 && S1[I - 1] <= 0xDBFF) --I;
  int32_t J = I;
  while (I < N1 && J < N2) {
    const uint32_t A = NextCodePoint(S1, N1, I);
    const uint32_t B = NextCodePoint(S2, N2, J);
    if (A != B) return A < B ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  if (I < N1) return CSTR_GREATER_THAN;
  return J < N2 ? CSTR_LESS_THAN : CSTR_EQUAL;
}

// The code points of S in UTF-8 (unpaired surrogates encoded as their own values), then a
// terminating 0: UTF-8 keeps code-point order bytewise, and a shorter text that is a prefix
// still comes first. Returns the key's length; writes it only when Room is enough.
int32_t CodePointKey(LPCWSTR S, int32_t N, uint8_t* Dest, int32_t Room) {
  // A leading run of ASCII, the whole of most lines, is its own key byte for byte: it is
  // measured and written without decoding a code point at a time.
  int32_t Ascii = 0;
  while (Ascii < N && S[Ascii] < 0x80) ++Ascii;
  int32_t Length = 1 + Ascii;
  for (int32_t I = Ascii; I < N;) {
    const uint32_t C = NextCodePoint(S, N, I);
    Length += C < 0x80 ? 1 : C < 0x800 ? 2 : C < 0x10000 ? 3 : 4;
  }
  if (Dest == nullptr || Room < Length) return Length;
  uint8_t* Out =
      std::transform(S, S + Ascii, Dest, [](char16_t C) { return static_cast<uint8_t>(C); });
  for (int32_t I = Ascii; I < N;) {
    const uint32_t C = NextCodePoint(S, N, I);
    if (C < 0x80) {
      *Out++ = static_cast<uint8_t>(C);
    } else if (C < 0x800) {
      *Out++ = static_cast<uint8_t>(0xC0 | C >> 6);
      *Out++ = static_cast<uint8_t>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
      *Out++ = static_cast<uint8_t>(0xE0 | C >> 12);
      *Out++ = static_cast<uint8_t>(0x80 | (C >> 6 & 0x3F));
      *Out++ = static_cast<uint8_t>(0x80 | (C & 0x3F));
    } else {
      *Out++ = static_cast<uint8_t>(0xF0 | C >> 18);
      *Out++ = static_cast<uint8_t>(0x80 | (C >> 12 & 0x3F));
      *Out++ = static_cast<uint8_t>(0x80 | (C >> 6 & 0x3F));
      *Out++ = static_cast<uint8_t>(0x80 | (C & 0x3F));
    }
  }
  *Out = 0;
  return Length;
}

}  // namespace

int32_t Length(LPCWSTR s, int n) { return n < 0 ? u_strlen(s) : n; }

bool (*SystemHasLocale)(const std::string& Name) = [](const std::string& Name) {
  const locale_t locale = ::newlocale(LC_COLLATE_MASK, Name.c_str(), locale_t{});
  if (locale == locale_t{}) return false;
  ::freelocale(locale);
  return true;
};

Collation::TLocaleChoice SetCollationLocale(const std::string& name) {
  const auto [given, variable] =
      name.empty() ? EnvironmentLocale() : std::pair<std::string, std::string>{name, ""};
  std::string locale = IcuLocaleFromPosix(given);
  Collation::TLocaleChoice choice = CheckKnown(locale, {given, variable});
  CollatorState& s = State();
  std::lock_guard guard(s.lock);
  s.locale = locale;
  s.collator = nullptr;
  s.opened = false;
  s.ready = true;
  ++s.generation;
  return choice;
}

std::string CollationLocale() {
  CollatorState& s = State();
  std::lock_guard guard(s.lock);
  EnsureReady(s);
  return s.locale;
}

bool CollatorOpened() {
  CollatorState& s = State();
  std::lock_guard guard(s.lock);
  return s.opened && s.collator != nullptr;
}

}  // namespace standin

int CompareStringW(LCID, DWORD flags, LPCWSTR s1, int n1, LPCWSTR s2, int n2) {
  if ((flags & ~SORT_DIGITSASNUMBERS) != 0 || s1 == nullptr || s2 == nullptr) return 0;
  const bool numeric = flags != 0;
  UCollator* collator = standin::Collator(numeric);
  const int32_t length1 = standin::Length(s1, n1), length2 = standin::Length(s2, n2);
  // Code-point order has no numbers: the flag fails there rather than being ignored.
  if (collator == nullptr && numeric) return 0;
  if (collator == nullptr) return standin::CompareCodePoints(s1, length1, s2, length2);
  switch (standin::Icu().strcoll(collator, s1, length1, s2, length2)) {
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

// The unit for which sort keys fail (standin::FailSortKeysOn), read by the sort's threads.
std::atomic<char16_t> KeyFailureUnit{0};

// For LCMAP_SORTKEY, dest is a byte buffer and destLen counts bytes, as on Windows.
int MapSortKey(LPCWSTR src, int srcLen, LPWSTR dest, int destLen, bool numeric) {
  const int32_t n = standin::Length(src, srcLen);
  const char16_t failing = KeyFailureUnit.load(std::memory_order_relaxed);
  if (failing != 0 && std::u16string_view(src, n).find(failing) != std::u16string_view::npos) {
    return 0;
  }
  auto* bytes = reinterpret_cast<uint8_t*>(dest);
  UCollator* collator = standin::Collator(numeric);
  if (collator == nullptr && numeric) return 0;
  if (collator == nullptr) {
    if (destLen == 0) return standin::CodePointKey(src, n, nullptr, 0);
    if (dest == nullptr) return 0;
    const int32_t needed = standin::CodePointKey(src, n, bytes, destLen);
    return needed > destLen ? 0 : needed;
  }
  if (destLen == 0) return standin::Icu().getSortKey(collator, src, n, nullptr, 0);
  if (dest == nullptr) return 0;
  const int32_t needed = standin::Icu().getSortKey(collator, src, n, bytes, destLen);
  return needed > destLen ? 0 : needed;
}

}  // namespace

void standin::FailSortKeysOn(char16_t Unit) { KeyFailureUnit.store(Unit); }

int LCMapStringW(LCID, DWORD flags, LPCWSTR src, int srcLen, LPWSTR dest, int destLen) {
  if (src == nullptr || destLen < 0) return 0;
  if (flags == LCMAP_HALFWIDTH) return MapHalfWidth(src, srcLen, dest, destLen);
  if ((flags & ~SORT_DIGITSASNUMBERS) == LCMAP_SORTKEY) {
    return MapSortKey(src, srcLen, dest, destLen, flags != LCMAP_SORTKEY);
  }
  return 0;
}

int NormalizeString(NORM_FORM form, LPCWSTR src, int srcLen, LPWSTR dest, int destLen) {
  if (form != NormalizationC || src == nullptr || destLen < 0) return 0;
  const int32_t n = srcLen < 0 ? u_strlen(src) + 1 : srcLen;
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U16_NEXT(src, i, n, c);
    if (U16_IS_SURROGATE(c) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) return 0;
  }
  // Composition makes a text at most three times as long.
  if (destLen == 0) return 3 * n;
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status) || dest == nullptr) return 0;
  const int32_t written = unorm2_normalize(nfc, src, n, dest, destLen, &status);
  return U_FAILURE(status) ? -written : written;
}
