#include "registrar/ScriptVariables.h"

#include <new>

#include "base/Failure.h"
#include "base/WideString.h"

namespace quorvel {

void AddCallerVariables(CRegObject& registrar, const RegistryVariable* variables) noexcept {
  if (variables == nullptr) return;
  for (const RegistryVariable* variable = variables; variable->name != nullptr; ++variable) {
    if (variable->value != nullptr) registrar.AddVariable(variable->name, variable->value);
  }
}

HRESULT AddModulePathVariables(CRegObject& registrar, const char16_t* modulePath) noexcept {
  if (modulePath == nullptr) return E_INVALIDARG;
  CWideString escaped;
  try {
    for (const char16_t* unit = modulePath; *unit != 0; ++unit) {
      escaped += *unit;
      if (*unit == u'\'') escaped += u'\'';
    }
  } catch (const CFailure&) {
    return E_OUTOFMEMORY;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (FAILED(registrar.AddVariable(u"Module", escaped.GetText()))) return E_OUTOFMEMORY;
  if (FAILED(registrar.AddVariable(u"Module_Raw", escaped.GetText()))) return E_OUTOFMEMORY;
  return S_OK;
}

}  // namespace quorvel
