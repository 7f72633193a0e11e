// The built Tarnwick.dll, loaded the way the editor loads it: LoadLibrary and the seven
// entry points resolved by name.
#pragma once

#include <windows.h>

namespace WineHost {

struct TPluginDll {
  HMODULE Module = nullptr;
  void(WINAPI* OnCommand)(HWND) = nullptr;
  BOOL(WINAPI* QueryStatus)(HWND, LPBOOL) = nullptr;
  void(WINAPI* OnEvents)(HWND, UINT, LPARAM) = nullptr;
  UINT(WINAPI* GetMenuTextID)() = nullptr;
  UINT(WINAPI* GetStatusMessageID)() = nullptr;
  UINT(WINAPI* GetBitmapID)() = nullptr;
  LRESULT(WINAPI* PlugInProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
};

// Tarnwick.dll from the host's own folder, loaded once; Module is null when it cannot be
// loaded, and each entry point null when it is not exported by that name.
const TPluginDll& PluginDll();

}  // namespace WineHost
