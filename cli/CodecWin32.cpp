// The conversions on Windows: MultiByteToWideChar / WideCharToMultiByte, strict about invalid
// bytes and unmappable characters. UTF-16 is done by hand in Codec.cpp (the functions know no
// UTF-16 code pages); EUC-JP is code page 20932.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <stdexcept>

#include "cli/CodecBackend.h"
#include "cli/Messages.h"

namespace Codec::Backend {
namespace {

struct TNamed {
  const char* Key;  // lower case, without '-', '_' and spaces
  UINT CodePage;
  TFamily Family;
};

constexpr TNamed kNames[] = {
    {"utf8", CP_UTF8, TFamily::fmUtf8},    {"cp65001", CP_UTF8, TFamily::fmUtf8},
    {"utf16le", 1200, TFamily::fmUtf16LE}, {"utf16be", 1201, TFamily::fmUtf16BE},
    {"utf16", 1201, TFamily::fmUtf16},     {"shiftjis", 932, TFamily::fmOther},
    {"sjis", 932, TFamily::fmOther},       {"windows31j", 932, TFamily::fmOther},
    {"ms932", 932, TFamily::fmOther},      {"eucjp", 20932, TFamily::fmOther},
    {"cp51932", 20932, TFamily::fmOther},
};

std::string Key(const std::string& name) {
  std::string key;
  for (char c : name)
    if (c != '-' && c != '_' && c != ' ') key += static_cast<char>(std::tolower(c));
  return key;
}

// The code page of an encoding name: a known name, or "cpN" / "windowsN" / "N".
UINT CodePageOf(const std::string& name, TFamily& family) {
  const std::string key = Key(name);
  for (const TNamed& n : kNames)
    if (key == n.Key) {
      family = n.Family;
      return n.CodePage;
    }
  family = TFamily::fmOther;
  std::string digits = key;
  for (const char* prefix : {"cp", "windows", "ibm"})
    if (digits.rfind(prefix, 0) == 0)
      digits = digits.substr(std::char_traits<char>::length(prefix));
  if (!digits.empty() && digits.size() <= 5 &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const UINT cp = static_cast<UINT>(std::stoul(digits));
    if (cp != 1200 && cp != 1201 && IsValidCodePage(cp)) return cp;
  }
  throw EUnknownEncoding(Messages::Translate("unknown encoding: %s", {name}));
}

UINT CodePageOf(const TEncoding& Encoding) {
  TFamily family;
  return CodePageOf(Encoding.Name, family);
}

// Code pages whose functions accept the strict flags (the ISO-2022 and similar ones do not).
bool TakesStrictFlags(UINT cp) {
  return !(cp == 50220 || cp == 50221 || cp == 50222 || cp == 50225 || cp == 50227 || cp == 50229 ||
           cp == 52936 || cp == 54936 || (cp >= 57002 && cp <= 57011) || cp == 65000 || cp == 42);
}

// The byte length of the character that starts at Bytes[i], used only to locate an error.
size_t CharLength(UINT cp, std::string_view Bytes, size_t i) {
  const auto b = static_cast<unsigned char>(Bytes[i]);
  if (cp == 20932) {
    if (b == 0x8F) return 3;
    return b >= 0x80 ? 2 : 1;
  }
  return IsDBCSLeadByteEx(cp, b) ? 2 : 1;
}

void RequireSize(size_t Size) {
  if (Size > static_cast<size_t>(INT_MAX / 4))
    throw std::length_error(Messages::Translate("input too large"));
}

}  // namespace

// UTF-8 goes through the code-page functions in pieces, each ending on a character boundary,
// so that their int lengths never limit it. The other code pages take the whole text in one
// call (RequireSize keeps it within those lengths): a character boundary cannot be found from
// an arbitrary byte in every code page.
namespace {
size_t gPieceUnits = size_t{1} << 28;
}  // namespace

void SetPieceSize(size_t Units) {
  gPieceUnits = Units == 0 ? size_t{1} << 28 : std::max<size_t>(Units, 4);
}

TEncoding Resolve(const std::string& name) {
  TFamily family;
  CodePageOf(name, family);
  return TEncoding{name, family};
}

bool ConvertsByLine(const TEncoding& Encoding) {
  // Shift_JIS (932) and EUC-JP (20932): stateless, LF and CR never a trail byte.
  const UINT cp = CodePageOf(Encoding);
  return cp == 932 || cp == 20932;
}

bool DecodeUtf8(std::string_view Bytes, char16_t* Out, size_t& Written) {
  Written = 0;
  while (!Bytes.empty()) {
    size_t size = std::min(Bytes.size(), gPieceUnits);
    // Back off over continuation bytes so that no character is cut.
    for (int k = 0; k < 3 && size < Bytes.size() && (Bytes[size] & 0xC0) == 0x80; ++k) --size;
    CountCall();
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Bytes.data(), static_cast<int>(size),
                            reinterpret_cast<LPWSTR>(Out + Written), static_cast<int>(size));
    if (n <= 0) return false;
    Written += static_cast<size_t>(n);
    Bytes.remove_prefix(size);
  }
  return true;
}

bool EncodeUtf8(std::u16string_view Text, std::string& Out) {
  while (!Text.empty()) {
    size_t units = std::min(Text.size(), gPieceUnits);  // three bytes each at most
    if (units < Text.size() && Text[units - 1] >= 0xD800 && Text[units - 1] <= 0xDBFF) --units;
    const size_t start = Out.size();
    char* target = Grow(Out, units * 3);
    CountCall();
    const int n = WideCharToMultiByte(
        CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<LPCWSTR>(Text.data()),
        static_cast<int>(units), target, static_cast<int>(units * 3), nullptr, nullptr);
    if (n <= 0) return false;
    Out.resize(start + static_cast<size_t>(n));
    Text.remove_prefix(units);
  }
  return true;
}

std::u16string DecodeOther(std::string_view Bytes, const TEncoding& Encoding) {
  std::u16string out;
  if (Bytes.empty()) return out;
  RequireSize(Bytes.size());
  const UINT cp = CodePageOf(Encoding);
  const DWORD flags = TakesStrictFlags(cp) ? MB_ERR_INVALID_CHARS : 0;
  int n = MultiByteToWideChar(cp, flags, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
  if (n > 0) {
    Grow(out, static_cast<size_t>(n));
    CountCall();
    n = MultiByteToWideChar(cp, flags, Bytes.data(), static_cast<int>(Bytes.size()),
                            reinterpret_cast<LPWSTR>(out.data()), n);
  }
  if (n > 0) return out;
  // Find the first character that does not convert on its own; only this error path walks
  // the input character by character.
  wchar_t buffer[8];
  for (size_t i = 0; i < Bytes.size();) {
    const size_t length = std::min(CharLength(cp, Bytes, i), Bytes.size() - i);
    if (MultiByteToWideChar(cp, flags, Bytes.data() + i, static_cast<int>(length), buffer, 8) <=
        0) {
      if (length < CharLength(cp, Bytes, i)) ThrowUnfinished(Encoding.Name, Bytes, i);
      ThrowInvalid(Encoding.Name, Bytes, i, length);
    }
    i += length;
  }
  ThrowInvalid(Encoding.Name, Bytes, 0, 1);
}

size_t DecodeAccepted(std::string_view Bytes, const TEncoding& Encoding, char16_t* Out) {
  if (Bytes.empty()) return 0;
  RequireSize(Bytes.size());
  CountCall();
  const int n =
      MultiByteToWideChar(CodePageOf(Encoding), 0, Bytes.data(), static_cast<int>(Bytes.size()),
                          reinterpret_cast<LPWSTR>(Out), static_cast<int>(Bytes.size()));
  if (n <= 0) throw std::logic_error("accepted bytes did not decode");
  return static_cast<size_t>(n);
}

void EncodeOther(std::u16string_view Text, const TEncoding& Encoding, std::string& Out) {
  if (Text.empty()) return;
  RequireSize(Text.size());
  const UINT cp = CodePageOf(Encoding);
  const bool strict = TakesStrictFlags(cp);
  const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
  auto convert = [&](std::u16string_view part, char* dest, int destSize, BOOL* usedDefault) {
    CountCall();
    return WideCharToMultiByte(cp, flags, reinterpret_cast<LPCWSTR>(part.data()),
                               static_cast<int>(part.size()), dest, destSize, nullptr,
                               strict ? usedDefault : nullptr);
  };
  BOOL usedDefault = FALSE;
  const int size = convert(Text, nullptr, 0, &usedDefault);
  if (size > 0 && !usedDefault) {
    convert(Text, Grow(Out, static_cast<size_t>(size)), size, &usedDefault);
    return;
  }
  // Locate the character that has no mapping (a surrogate pair is one character).
  for (size_t i = 0; i < Text.size();) {
    const size_t length = (Text[i] >= 0xD800 && Text[i] <= 0xDBFF && i + 1 < Text.size()) ? 2 : 1;
    usedDefault = FALSE;
    if (convert(Text.substr(i, length), nullptr, 0, &usedDefault) <= 0 || usedDefault)
      ThrowUnencodable(Encoding.Name, Text, i);
    i += length;
  }
  ThrowUnencodable(Encoding.Name, Text, 0);
}

}  // namespace Codec::Backend
