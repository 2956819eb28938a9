// Registration for the current user alone (DllInstall with "user"): the
// same scripts and type library as RegisterModule, written beneath
// HKEY_CURRENT_USER (the user's Software\Classes for the classes, the user's
// Software key for the shell's approval), nothing beneath
// HKEY_LOCAL_MACHINE. Unlike the machine-wide sequence, each is all or
// nothing: a step that fails takes back what the steps before it did.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

// Registers for the user. On failure the user's keys are left without any
// of the component's entries and the failing step's result is returned.
HRESULT RegisterModuleForUser() noexcept;

// Removes the user's registration: the type library's keys, then the class
// scripts and the AppID script. What is not registered is passed over.
// Should a step fail, the registration is written again and the failure
// returned, so that the user keeps a working registration.
HRESULT UnregisterModuleForUser() noexcept;

}  // namespace quorvel
