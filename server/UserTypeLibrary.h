// The module's type library registered for the current user alone.
//
// The automation runtime's own registration writes through
// HKEY_CLASSES_ROOT. The platform's way to send it to the user's keys
// (RegOverridePredefKey, with OaEnablePerUserTLibRegistration on Windows)
// does not hold under Wine 8: there RegisterTypeLib still writes the
// interface keys of the 32-bit registry view into the machine's classes,
// and RegisterTypeLibForUser writes everything there. So the keys that
// RegisterTypeLib writes are written here instead, as a registry script
// made from the library's own attributes and applied through the given
// registry (the per-user one), with the same rules as the component's
// scripts: TypeLib and Interface are kept, the library's version key and
// each interface key written whole and removed whole.
#pragma once

#include "platform/Registry.h"
#include "platform/WinApi.h"

namespace quorvel {

HRESULT UpdateTypeLibThroughRegistry(HINSTANCE instance, bool registerFlag, IRegistry& registry) noexcept;

}  // namespace quorvel
