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
constexpr DWORD SORT_DIGITSASNUMBERS = 0x00000008;

// Compares two UTF-16 strings in the collation of the user's locale (see Nls.h). Lengths of -1
// mean NUL-terminated. Returns CSTR_* or 0 on failure.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR s1, int n1, LPCWSTR s2, int n2);

// LCMAP_HALFWIDTH: maps full-width forms to half-width ones; LCMAP_SORTKEY: writes the
// collation sort key as bytes into dest. With destLen 0 returns the size needed; 0 on failure.
// SORT_DIGITSASNUMBERS, with CompareStringW or LCMAP_SORTKEY, compares runs of digits by their
// value (ICU's numeric collation); it fails in code-point order.
int LCMapStringW(LCID locale, DWORD flags, LPCWSTR src, int srcLen, LPWSTR dest, int destLen);

enum NORM_FORM { NormalizationC = 0x1 };
// Writes src in Unicode's normalization form form (NormalizationC: canonical composition, on
// ICU's data) into dest and returns its length; a srcLen of -1 means NUL-terminated, the NUL
// included. With destLen 0 returns an estimate of the room needed. Returns 0 or less when
// dest is too small, and for text that is not valid Unicode: an unpaired surrogate or a
// noncharacter (U+FDD0..U+FDEF, U+nFFFE, U+nFFFF), as Windows refuses them.
int NormalizeString(NORM_FORM form, LPCWSTR src, int srcLen, LPWSTR dest, int destLen);

// ---- user32: windows, messages, the pop-up menu and the message box ----
// Windows are handles that the stand-in maps to a window procedure (see User32.h); a message
// sent to a handle calls its procedure directly, as SendMessageW does within one thread.

struct HWND__;
using HWND = HWND__*;
struct HMENU__;
using HMENU = HMENU__*;
using INT_PTR = intptr_t;

#ifndef CALLBACK
#define CALLBACK
#endif

struct POINT {
  LONG x;
  LONG y;
};
using LPPOINT = POINT*;
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT TPM_RETURNCMD = 0x0100;
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Calls the window procedure registered for hWnd; 0 for a handle without one.
LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The default answer to a message a window procedure does not handle: 0.
LRESULT DefWindowProcW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A new empty pop-up menu, or null when menus are set to fail (see User32.h).
HMENU CreatePopupMenu();
// Appends an item; text may be null for a separator.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL DestroyMenu(HMENU menu);
// Records the menu as shown and returns the chooser's answer (with TPM_RETURNCMD the item
// identifier, 0 for a dismissed menu).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);
// The cursor position set with standin::SetCursorPosition.
BOOL GetCursorPos(LPPOINT point);
// Records the box and returns the answer set with standin::SetMessageBoxAnswer.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// Copies at most maxLength - 1 characters of src and a NUL into dest (nothing for 0).
LPSTR lstrcpynA(LPSTR dest, LPCSTR src, int maxLength);
