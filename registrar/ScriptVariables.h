// The replacement variables of a script run for the module: the caller's
// pairs first, then the module's own (through its hook), then "Module" and
// "Module_Raw". The first entry of a name wins, so that order is also the
// order of precedence.
#pragma once

#include "platform/ResultTypes.h"
#include "registrar/RegObject.h"

namespace quorvel {

// One replacement pair; a list of them ends with a pair whose name is null.
struct RegistryVariable {
  const char16_t* name;
  const char16_t* value;
};

// The module's hook that adds its own variables to the registrar lent to it
// for the length of the call; a failure ends the script run with its code.
// Like every edge of the registrar it answers with a result code and throws
// nothing.
using AddModuleVariablesHook = HRESULT (*)(void* context, IRegistrarBase* registrar) noexcept;

// Adds the caller's pairs in their order. A pair whose value is null is
// passed over; an entry that cannot be added is not reported.
void AddCallerVariables(CRegObject& registrar, const RegistryVariable* variables) noexcept;

// Adds "Module" and "Module_Raw", both the path with every ' doubled, so
// that the path reads back unchanged inside a quoted token. A failure to add
// either (E_OUTOFMEMORY: memory ran out) ends with the registrar's code.
HRESULT AddModulePathVariables(CRegObject& registrar, const char16_t* modulePath) noexcept;

}  // namespace quorvel
