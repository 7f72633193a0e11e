// The plug-in's seven exported entry points (names in Tarnwick.def). Each one forwards to the
// host-boundary code, which catches every exception before it could reach the editor.

#include "plugin/EntryPoints.h"

extern "C" {

void WINAPI OnCommand(HWND hwnd) { Tarnwick::OnCommand(hwnd); }

BOOL WINAPI QueryStatus(HWND hwnd, LPBOOL pbChecked) {
  return Tarnwick::QueryStatus(hwnd, pbChecked);
}

void WINAPI OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam) {
  Tarnwick::OnEvents(hwnd, nEvent, lParam);
}

UINT WINAPI GetMenuTextID() { return Tarnwick::MenuTextId; }

UINT WINAPI GetStatusMessageID() { return Tarnwick::StatusMessageId; }

UINT WINAPI GetBitmapID() { return Tarnwick::BitmapId; }

LRESULT WINAPI PlugInProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
  return Tarnwick::PlugInProc(hwnd, nMsg, wParam, lParam);
}

}  // extern "C"
