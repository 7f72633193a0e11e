#include "tests/winehost/PluginDll.h"

namespace WineHost {
namespace {

template <typename TFunction>
void Resolve(HMODULE Module, const char* Name, TFunction& Function) {
  Function = reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
}

TPluginDll Load() {
  TPluginDll Dll;
  // The host is built next to the DLL, and the host's folder is searched first.
  Dll.Module = LoadLibraryW(L"Tarnwick.dll");
  if (!Dll.Module) return Dll;
  Resolve(Dll.Module, "OnCommand", Dll.OnCommand);
  Resolve(Dll.Module, "QueryStatus", Dll.QueryStatus);
  Resolve(Dll.Module, "OnEvents", Dll.OnEvents);
  Resolve(Dll.Module, "GetMenuTextID", Dll.GetMenuTextID);
  Resolve(Dll.Module, "GetStatusMessageID", Dll.GetStatusMessageID);
  Resolve(Dll.Module, "GetBitmapID", Dll.GetBitmapID);
  Resolve(Dll.Module, "PlugInProc", Dll.PlugInProc);
  return Dll;
}

}  // namespace

const TPluginDll& PluginDll() {
  static const TPluginDll Dll = Load();
  return Dll;
}

}  // namespace WineHost
