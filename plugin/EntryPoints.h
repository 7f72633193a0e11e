// What the editor's seven calls do. The exported functions only forward here; nothing in
// here lets an exception escape to the editor.
#pragma once

#include "TarnwickVersion.h"
#include "platform/Win32.h"

namespace Tarnwick {

// The plug-in's name (caption of its dialogs) and version text, code page 932 (ASCII here).
inline constexpr char DisplayName[] = "Tarnwick";
inline constexpr char VersionText[] = "Version " TARNWICK_VERSION;

// Host command whose enabled state the plug-in command shares.
constexpr UINT HostCommandEnabledState = 4201;
constexpr UINT HostCommandSelectAll = 4136;
constexpr UINT HostCommandAfterWholeDocument = 4187;

constexpr UINT EventStoreValue = 0x400;
constexpr UINT EventRefresh = 0x40;

constexpr UINT RequestName = 2306;
constexpr UINT RequestVersion = 2308;
constexpr UINT RequestCanUninstall = 2310;
constexpr UINT RequestUninstall = 2311;

constexpr UINT MenuTextId = 1;
constexpr UINT StatusMessageId = 2;
constexpr UINT BitmapId = 101;

// Shows the command menu and runs the chosen line operation on the selected lines (or the
// whole document when nothing is selected). Repainting is off for the whole call. A failure
// leaves the document unchanged and is shown to the user in a message box.
void OnCommand(HWND Window) noexcept;
// TRUE (-1) when the editor's command 4201 is enabled; the editor writes its checked state
// into *Checked.
BOOL QueryStatus(HWND Window, BOOL* Checked) noexcept;
// Event 0x400 stores Value; event 0x40 sends the stored value back to the editor.
void OnEvents(HWND Window, UINT Events, LPARAM Value) noexcept;
// Name (2306) and version (2308) into an 8-bit buffer, uninstall support (2310) and the
// uninstall question (2311); 0 for every other request.
LRESULT PlugInProc(HWND Window, UINT Request, WPARAM First, LPARAM Second) noexcept;

// The one value kept between calls: stored on event 0x400, sent back on event 0x40 (both in
// one call: stored first). OnEvents uses one instance for the library's lifetime.
class TEventMemory {
 public:
  void OnEvents(HWND Window, UINT Events, LPARAM Value);

 private:
  LPARAM FSavedValue = 0;
};

}  // namespace Tarnwick
