// The module whose resources the handler loads (its menu bitmap): the module
// the code is linked into, unless the program names another source. The
// server does, so that start-up may switch to a satellite resource library.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

using ResourceInstanceSource = HINSTANCE (*)() noexcept;

HINSTANCE ResourceInstance() noexcept;

// From now on ResourceInstance() asks `source` (null: the module itself).
void SetResourceInstanceSource(ResourceInstanceSource source) noexcept;

// The module (DLL or program) this code is linked into.
HINSTANCE ModuleOfThisCode() noexcept;

}  // namespace quorvel
