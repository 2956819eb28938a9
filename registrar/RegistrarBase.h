// IRegistrarBase: what a script run lends to the module so that it can add
// its own replacement variables.
#pragma once

#include "platform/ComTypes.h"

namespace quorvel {

struct IRegistrarBase : public IUnknown {
  // Adds one replacement for %name% in the scripts run with this registrar.
  virtual HRESULT STDMETHODCALLTYPE AddVariable(const char16_t* name, const char16_t* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearVariables() = 0;
  virtual ~IRegistrarBase() = default;
};

}  // namespace quorvel
