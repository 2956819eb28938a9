// Loading, registering and unregistering the type library a module carries.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

// Loads the type library of `instance`: first from the module file itself,
// then from the file of the same name with the extension ".tlb". On success
// `path` holds the path that loaded (the caller frees it) and `library` the
// library (the caller releases it).
HRESULT LoadModuleTypeLib(HINSTANCE instance, BSTR* path, ITypeLib** library) noexcept;
HRESULT RegisterModuleTypeLib(HINSTANCE instance) noexcept;
HRESULT UnregisterModuleTypeLib(HINSTANCE instance) noexcept;

}  // namespace quorvel
