// ModuleInstances: the library's own instance and the instance run-time
// resources are loaded from (the library itself, or a satellite resource
// library chosen at start-up).
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

struct ModuleInstances {
  HINSTANCE ModuleInstance;
  HINSTANCE volatile ResourceInstance;  // replaced with an atomic exchange
};

// The instance record of this library.
ModuleInstances& GetModuleInstances() noexcept;

// The instance of the module that contains this code.
HINSTANCE CurrentModuleInstance() noexcept;

HINSTANCE GetModuleInstance() noexcept;
HINSTANCE GetResourceInstance() noexcept;
// Returns the previous resource instance.
HINSTANCE SetResourceInstance(HINSTANCE instance) noexcept;

}  // namespace quorvel
