// Linux stand-in for the subset of the Windows API that Tarnwick calls. Types keep their
// Windows widths; WCHAR is char16_t so that wide strings are UTF-16 as on Windows.
#pragma once

#include <cstdint>
#include <string>

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using LCID = DWORD;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;

#ifndef WINAPI
#define WINAPI
#endif
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;
constexpr DWORD LCMAP_SORTKEY = 0x00000400;
constexpr DWORD LCMAP_HALFWIDTH = 0x00400000;

// Compares two UTF-16 strings in the collation of the user's locale (see Nls.h). Lengths of -1
// mean NUL-terminated. Returns CSTR_* or 0 on failure.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR s1, int n1, LPCWSTR s2, int n2);

// LCMAP_HALFWIDTH: maps full-width forms to half-width ones; LCMAP_SORTKEY: writes the
// collation sort key as bytes into dest. With destLen 0 returns the size needed; 0 on failure.
int LCMapStringW(LCID locale, DWORD flags, LPCWSTR src, int srcLen, LPWSTR dest, int destLen);
