#include "tests/winehost/ImportPatch.h"

#include <cstring>

namespace WineHost {
namespace {

// Writes Value into Slot, which lies in the module's read-only import table.
void WriteSlot(void** Slot, void* Value) {
  DWORD Old;
  VirtualProtect(Slot, sizeof *Slot, PAGE_READWRITE, &Old);
  *Slot = Value;
  VirtualProtect(Slot, sizeof *Slot, Old, &Old);
}

// The import table slot of Function from Library in Module, or null.
void** FindSlot(HMODULE Module, const char* Library, const char* Function) {
  auto* const Base = reinterpret_cast<BYTE*>(Module);
  const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base);
  const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(Base + Dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& Imports =
      Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (Imports.VirtualAddress == 0) return nullptr;
  for (auto* Entry =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base + Imports.VirtualAddress);
       Entry->Name != 0; ++Entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(Base + Entry->Name), Library) != 0) continue;
    // The names stay in the lookup table; the address table beside it holds the bound entries.
    const auto* Names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        Base + (Entry->OriginalFirstThunk != 0 ? Entry->OriginalFirstThunk : Entry->FirstThunk));
    auto* Slots = reinterpret_cast<IMAGE_THUNK_DATA*>(Base + Entry->FirstThunk);
    for (; Names->u1.AddressOfData != 0; ++Names, ++Slots) {
      if (IMAGE_SNAP_BY_ORDINAL(Names->u1.Ordinal)) continue;
      const auto* ByName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(Base + Names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(ByName->Name), Function) == 0) {
        return reinterpret_cast<void**>(&Slots->u1.Function);
      }
    }
  }
  return nullptr;
}

}  // namespace

TImportPatch::TImportPatch(HMODULE Module, const char* Library, const char* Function,
                           void* Replacement) {
  if (!Module) return;
  FSlot = FindSlot(Module, Library, Function);
  if (!FSlot) return;
  FOriginal = *FSlot;
  WriteSlot(FSlot, Replacement);
}

TImportPatch::~TImportPatch() {
  if (FSlot) WriteSlot(FSlot, FOriginal);
}

}  // namespace WineHost
