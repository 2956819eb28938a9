// Running a registry script that the component carries as a resource
// (Windows only).
#pragma once

#include <cstdint>

#include "platform/Registry.h"
#include "platform/WinApi.h"
#include "registrar/RegObject.h"
#include "registrar/ScriptVariables.h"

namespace quorvel {

// Loads resource `resourceId` of type `resourceType` from the library file
// at `modulePath` (as a data file), converts it from the thread's ANSI code
// page and applies it with the registrar's variables: registration when
// `registerFlag` is true, removal otherwise. A failed load or conversion
// gives the last error as a result code (E_FAIL when none was left); an
// empty resource fails in the conversion.
HRESULT RunScriptResource(CRegObject& registrar, const wchar_t* modulePath, uint32_t resourceId,
                          const wchar_t* resourceType, bool registerFlag, IRegistry& registry) noexcept;

// The module's script run: registry script `resourceId` (type "REGISTRY")
// of the library `module`, with the caller's `variables` (ended by a null
// name; may be null), then whatever `addModuleVariables` adds (may be null),
// then "Module" and "Module_Raw" for the library's own path. The path
// filling all 260 units gives 0x8007007A.
HRESULT ApplyRegistryResource(HMODULE module, uint32_t resourceId, bool registerFlag,
                              const RegistryVariable* variables, AddModuleVariablesHook addModuleVariables,
                              void* hookContext, IRegistry& registry) noexcept;

// The same on the Windows registry.
HRESULT ApplyRegistryResource(HMODULE module, uint32_t resourceId, bool registerFlag,
                              const RegistryVariable* variables, AddModuleVariablesHook addModuleVariables,
                              void* hookContext) noexcept;

}  // namespace quorvel
