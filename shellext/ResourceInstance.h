// The module whose resources the handler loads (its menu bitmap). The library
// quorvel_resource_instance answers the module that contains the code; a
// server that switches to a satellite resource library links its own answer.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

HINSTANCE ResourceInstance() noexcept;

}  // namespace quorvel
