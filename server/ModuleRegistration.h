// Registration and removal of the whole module: the AppID script, each class's
// own script, and the type library.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

// The registry script resource of the application identifier. (Each class
// names its own script through its class entry.)
constexpr UINT kAppIdScriptResource = 101;

// DllRegisterServer: the AppID script, each class's script, then (when
// `registerTypeLib`) the type library. Stops at the first failing step and
// returns its result; steps already done stay done. Runs under the system
// default thread locale and restores the caller's locale on every path.
HRESULT RegisterModule(BOOL registerTypeLib) noexcept;
// DllUnregisterServer: the reverse order; the AppID script comes last.
HRESULT UnregisterModule(BOOL unregisterTypeLib) noexcept;

// Holds the calling thread's locale at LOCALE_SYSTEM_DEFAULT for one scope.
class CSystemThreadLocaleScope {
 public:
  CSystemThreadLocaleScope() noexcept : m_saved(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
  ~CSystemThreadLocaleScope() { SetThreadLocale(m_saved); }
  CSystemThreadLocaleScope(const CSystemThreadLocaleScope&) = delete;
  CSystemThreadLocaleScope& operator=(const CSystemThreadLocaleScope&) = delete;

 private:
  LCID m_saved;
};

}  // namespace quorvel
