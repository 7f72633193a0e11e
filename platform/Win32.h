// The Windows API surface the product code uses. On Windows this is <windows.h>; elsewhere the
// stand-in in platform/linux declares the same names with the same contracts.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#ifndef SORT_DIGITSASNUMBERS  // Windows 7 and later; headers for older versions lack it
#define SORT_DIGITSASNUMBERS 0x00000008
#endif
#else
#include "platform/linux/WinApi.h"
#endif

#include <string>

// UTF-16 text is std::u16string throughout; these view it as the API's wide characters.
inline LPCWSTR AsWide(const char16_t* s) { return reinterpret_cast<LPCWSTR>(s); }
inline LPWSTR AsWide(char16_t* s) { return reinterpret_cast<LPWSTR>(s); }
inline const char16_t* AsU16(LPCWSTR s) { return reinterpret_cast<const char16_t*>(s); }
inline char16_t* AsU16(LPWSTR s) { return reinterpret_cast<char16_t*>(s); }
