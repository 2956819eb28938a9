#include "registrar/ScriptResource.h"

#include <climits>

#include "base/ModulePath.h"
#include "base/ResultCode.h"
#include "platform/AnsiText.h"
#include "platform/ScopedHandles.h"
#include "platform/TaskMemory.h"
#include "platform/WindowsRegistry.h"
#include "registrar/RegScriptParser.h"

namespace quorvel {

HRESULT RunScriptResource(CRegObject& registrar, const wchar_t* modulePath, uint32_t resourceId,
                          const wchar_t* resourceType, bool registerFlag, IRegistry& registry) noexcept {
  CLibraryHandle library(LoadLibraryExW(modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!library.IsValid()) return ResultFromLastError();

  const HRSRC info = FindResourceW(library.Get(), MAKEINTRESOURCEW(resourceId), resourceType);
  if (info == nullptr) return ResultFromLastError();
  const HGLOBAL loaded = LoadResource(library.Get(), info);
  if (loaded == nullptr) return ResultFromLastError();
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  if (bytes == nullptr) return ResultFromLastError();
  const DWORD size = SizeofResource(library.Get(), info);
  if (size >= static_cast<DWORD>(INT_MAX)) return E_OUTOFMEMORY;

  // n bytes give at most n units, and one more for the terminating zero.
  CTaskMemory<char16_t> text(static_cast<char16_t*>(TaskMemAlloc((static_cast<size_t>(size) + 1) * sizeof(char16_t))));
  if (text.Get() == nullptr) return E_OUTOFMEMORY;
  // An empty resource fails here: there is nothing to convert.
  SetLastError(ERROR_SUCCESS);
  const int units = AnsiToUtf16(bytes, static_cast<int>(size), text.Get(), static_cast<int>(size));
  if (units == 0) return ResultFromLastError();
  text.Get()[units] = 0;

  CRegScriptParser parser(registrar, registry);
  return parser.ApplyScript(text.Get(), registerFlag);
}

HRESULT ApplyRegistryResource(HMODULE module, uint32_t resourceId, bool registerFlag,
                              const RegistryVariable* variables, AddModuleVariablesHook addModuleVariables,
                              void* hookContext, IRegistry& registry) noexcept {
  CRegObject registrar;
  AddCallerVariables(registrar, variables);
  if (addModuleVariables != nullptr) {
    const HRESULT hr = addModuleVariables(hookContext, &registrar);
    if (FAILED(hr)) return hr;
  }

  wchar_t path[MAX_PATH];
  HRESULT hr = GetModulePath(module, path);
  if (FAILED(hr)) return hr;
  hr = AddModulePathVariables(registrar, AsUtf16(path));
  if (FAILED(hr)) return hr;
  return RunScriptResource(registrar, path, resourceId, L"REGISTRY", registerFlag, registry);
}

HRESULT ApplyRegistryResource(HMODULE module, uint32_t resourceId, bool registerFlag,
                              const RegistryVariable* variables, AddModuleVariablesHook addModuleVariables,
                              void* hookContext) noexcept {
  return ApplyRegistryResource(module, resourceId, registerFlag, variables, addModuleVariables, hookContext,
                               WindowsRegistry());
}

}  // namespace quorvel
