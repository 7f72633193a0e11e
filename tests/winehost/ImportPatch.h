// Redirects one function that a loaded module imports by name, for the lifetime of the patch:
// the module's import address table entry is pointed at a replacement and restored afterwards.
// Lets a test count how often the DLL calls into the system without changing the DLL.
#pragma once

#include <windows.h>

namespace WineHost {

class TImportPatch {
 public:
  // Module's import of Function from Library (names as in the import table, the library's
  // compared without case); Original() is null when the module does not import it.
  TImportPatch(HMODULE Module, const char* Library, const char* Function, void* Replacement);
  TImportPatch(const TImportPatch&) = delete;
  TImportPatch& operator=(const TImportPatch&) = delete;
  ~TImportPatch();

  void* Original() const { return FOriginal; }

 private:
  void** FSlot = nullptr;
  void* FOriginal = nullptr;
};

}  // namespace WineHost
