#include "server/ModuleRegistration.h"

#include "server/ClassTable.h"
#include "server/ModuleTypeLibrary.h"
#include "server/QuorvelModule.h"

namespace quorvel {

namespace {

const RegistryVariable kAppIdVariables[] = {
    {u"APPID", kAppIdText},
    {nullptr, nullptr},
};

// No class of this component names component categories (CategoryList
// answers none), so the step has nothing to register or remove.
HRESULT UpdateCategories(const ClassEntry& /*entry*/, BOOL /*registerCategories*/) noexcept { return S_OK; }

}  // namespace

HRESULT RegisterModule(BOOL registerTypeLib) noexcept {
  CQuorvelModule* module = QuorvelModule();
  ClassTable& table = GetClassTable();
  if (module == nullptr || !module->IsInitialised() || !table.IsInitialised()) return E_UNEXPECTED;

  CSystemThreadLocaleScope locale;
  HRESULT result = module->ApplyRegistryResource(kAppIdScriptResource, TRUE, kAppIdVariables);
  if (FAILED(result)) return result;

  for (ClassEntry* entry : table) {
    if (entry == nullptr) continue;
    result = entry->UpdateRegistration(TRUE);
    if (FAILED(result)) return result;
    result = UpdateCategories(*entry, TRUE);
    if (FAILED(result)) return result;
  }
  if (registerTypeLib) result = RegisterModuleTypeLib(table.TypeLibInstance());
  return result;
}

HRESULT UnregisterModule(BOOL unregisterTypeLib) noexcept {
  CQuorvelModule* module = QuorvelModule();
  ClassTable& table = GetClassTable();
  if (module == nullptr || !module->IsInitialised() || !table.IsInitialised()) return E_UNEXPECTED;

  CSystemThreadLocaleScope locale;
  HRESULT result = S_OK;
  for (ClassEntry* entry : table) {
    if (entry == nullptr) continue;
    result = UpdateCategories(*entry, FALSE);
    if (FAILED(result)) return result;
    result = entry->UpdateRegistration(FALSE);
    if (FAILED(result)) return result;
  }
  if (unregisterTypeLib) {
    result = UnregisterModuleTypeLib(table.TypeLibInstance());
    if (FAILED(result)) return result;
  }
  return module->ApplyRegistryResource(kAppIdScriptResource, FALSE, kAppIdVariables);
}

}  // namespace quorvel
