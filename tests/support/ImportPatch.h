// Points one entry of a loaded module's import address table at another
// function for one scope, so that a test can make the module's own calls of
// an imported function (the C runtime's malloc, say) fail on purpose. Only
// that module's calls change; the rest of the process keeps the original.
#pragma once

#include <cstring>

#include "platform/WinApi.h"

namespace quorvel {

class CImportPatch {
 public:
  // Patches `function` imported by name from `library` (compared without
  // regard to case) in `module`; Patched() is false when the module imports
  // no such function.
  CImportPatch(HMODULE module, const char* library, const char* function, void* replacement) noexcept {
    m_slot = FindSlot(module, library, function);
    if (m_slot != nullptr) {
      m_original = *m_slot;
      Write(replacement);
    }
  }
  ~CImportPatch() {
    if (m_slot != nullptr) Write(m_original);
  }
  CImportPatch(const CImportPatch&) = delete;
  CImportPatch& operator=(const CImportPatch&) = delete;

  bool Patched() const noexcept { return m_slot != nullptr; }
  // The function the slot held before.
  void* Original() const noexcept { return m_original; }

 private:
  // The slot of the import address table that the loader filled in for
  // `function`, found through the import lookup table's names.
  static void** FindSlot(HMODULE module, const char* library, const char* function) noexcept {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), library) != 0) continue;
      const DWORD lookup = entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + lookup);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
          return reinterpret_cast<void**>(&slots->u1.Function);
        }
      }
    }
    return nullptr;
  }

  // The table may sit in read-only pages once the loader is done with it.
  void Write(void* value) noexcept {
    DWORD protection = 0;
    if (!VirtualProtect(m_slot, sizeof(void*), PAGE_READWRITE, &protection)) return;
    *m_slot = value;
    VirtualProtect(m_slot, sizeof(void*), protection, &protection);
  }

  void** m_slot = nullptr;
  void* m_original = nullptr;
};

}  // namespace quorvel
