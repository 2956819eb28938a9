#include "registrar/ScriptVariables.h"

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
  try {
    if (modulePath == nullptr) return E_INVALIDARG;
    CWideString escaped;
    for (const char16_t* unit = modulePath; *unit != 0; ++unit) {
      escaped += *unit;
      if (*unit == u'\'') escaped += u'\'';
    }
    const HRESULT hr = registrar.AddVariable(u"Module", escaped.GetText());
    if (FAILED(hr)) return hr;
    return registrar.AddVariable(u"Module_Raw", escaped.GetText());
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace quorvel
