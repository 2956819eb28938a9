#include "server/ModuleTypeLibrary.h"

#include <cwchar>

#include "base/ModulePath.h"
#include "platform/ScopedBstr.h"
#include "platform/ScopedComPtr.h"

namespace quorvel {

HRESULT LoadModuleTypeLib(HINSTANCE instance, BSTR* path, ITypeLib** library) noexcept {
  if (path == nullptr || library == nullptr) return E_POINTER;
  *path = nullptr;
  *library = nullptr;

  wchar_t modulePath[MAX_PATH];
  const HRESULT pathResult = GetModulePath(instance, modulePath);
  if (FAILED(pathResult)) return pathResult;
  wchar_t* extension = FindFileExtension(modulePath);

  CScopedComPtr<ITypeLib> loaded;
  HRESULT result = loaded.Received(LoadTypeLib(modulePath, loaded.Receive()));
  if (FAILED(result)) {
    if ((extension - modulePath) + 5 > MAX_PATH) return E_FAIL;
    lstrcpyW(extension, L".tlb");
    result = loaded.Received(LoadTypeLib(modulePath, loaded.Receive()));
    if (FAILED(result)) return result;
  }

  *path = SysAllocString(modulePath);
  if (*path == nullptr) return E_OUTOFMEMORY;
  *library = loaded.Detach();
  return result;
}

HRESULT RegisterModuleTypeLib(HINSTANCE instance) noexcept {
  CScopedBstr path;
  CScopedComPtr<ITypeLib> library;
  HRESULT result = LoadModuleTypeLib(instance, path.Receive(), library.Receive());
  if (FAILED(result)) return result;

  // The help directory is the folder of the library's help file, when it names one.
  CScopedBstr helpFile;
  wchar_t helpDirectory[MAX_PATH] = {};
  bool hasHelpDirectory = false;
  if (SUCCEEDED(helpFile.Received(library->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.Receive()))) &&
      helpFile.Get() != nullptr && helpFile.Get()[0] != 0) {
    lstrcpynW(helpDirectory, helpFile.Get(), MAX_PATH);
    wchar_t* cut = nullptr;
    for (wchar_t* p = helpDirectory; *p != 0; p = CharNextW(p)) {
      if (*p == L'\\' || *p == L'/' || *p == L':') cut = p + 1;
    }
    if (cut != nullptr) *cut = 0;
    hasHelpDirectory = true;
  }
  return RegisterTypeLib(library.Get(), path.Get(), hasHelpDirectory ? helpDirectory : nullptr);
}

HRESULT UnregisterModuleTypeLib(HINSTANCE instance) noexcept {
  CScopedBstr path;
  CScopedComPtr<ITypeLib> library;
  HRESULT result = LoadModuleTypeLib(instance, path.Receive(), library.Receive());
  if (FAILED(result)) return result;

  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                             attributes->syskind);
  library->ReleaseTLibAttr(attributes);
  return result;
}

}  // namespace quorvel
