#include "server/UserRegistration.h"

#include "base/ResultCode.h"
#include "platform/PerUserRegistry.h"
#include "platform/WindowsRegistry.h"
#include "server/ClassTable.h"
#include "server/ModuleRegistration.h"
#include "server/ModuleTypeLibrary.h"
#include "server/RegistrationTarget.h"
#include "server/UserTypeLibrary.h"

namespace quorvel {

namespace {

// The scripts of RegisterModule / UnregisterModule (without the type
// library), their roots directed to the user's keys.
HRESULT UpdateScriptsForUser(IRegistry& userRegistry, bool registerFlag) noexcept {
  CRegistrationTargetScope target(userRegistry);
  return registerFlag ? RegisterModule(FALSE) : UnregisterModule(FALSE);
}

HRESULT UpdateTypeLibForUser(IRegistry& userRegistry, bool registerFlag) noexcept {
  ClassTable& table = GetClassTable();
  if (!table.IsInitialised()) return E_UNEXPECTED;
  return UpdateTypeLibThroughRegistry(table.TypeLibInstance(), registerFlag, userRegistry);
}

}  // namespace

HRESULT RegisterModuleForUser() noexcept {
  CPerUserRegistry userRegistry(WindowsRegistry());
  if (userRegistry.OpenError() != 0) return ResultFromWin32(userRegistry.OpenError());

  HRESULT result = UpdateScriptsForUser(userRegistry, true);
  if (SUCCEEDED(result)) result = UpdateTypeLibForUser(userRegistry, true);
  if (FAILED(result)) {
    // Take back what was written; the registration's failure is what counts.
    UpdateTypeLibForUser(userRegistry, false);
    UpdateScriptsForUser(userRegistry, false);
  }
  return result;
}

HRESULT UnregisterModuleForUser() noexcept {
  CPerUserRegistry userRegistry(WindowsRegistry());
  if (userRegistry.OpenError() != 0) return ResultFromWin32(userRegistry.OpenError());

  HRESULT result = UpdateTypeLibForUser(userRegistry, false);
  if (SUCCEEDED(result)) result = UpdateScriptsForUser(userRegistry, false);
  if (FAILED(result)) {
    // Put the registration back whole rather than leave half of it.
    UpdateScriptsForUser(userRegistry, true);
    UpdateTypeLibForUser(userRegistry, true);
  }
  return result;
}

}  // namespace quorvel
