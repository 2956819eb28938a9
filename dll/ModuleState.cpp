// The composition of quorvel.dll: its two creatable classes and the library's
// static records, in the order of their construction: the class table, the
// module object, the application object. (The instance record is
// constant-initialised, so it is ready before all of them.) Their
// constructors only fill in fields and create critical sections: nothing that
// calls into another library while the loader lock is held. They are
// destroyed in the reverse order: the module runs its clean-up list before
// the class table releases the cached class factory; at process exit they
// are abandoned first and their destruction does nothing.
//
// This is the one place that knows both the server frame and the handler.
#include "dll/ModuleState.h"

#include <iterator>

#include "server/ClassTable.h"
#include "server/ModuleInstances.h"
#include "server/QuorvelApp.h"
#include "server/QuorvelModule.h"
#include "shellext/ResourceInstance.h"
#include "shellext/SelecterCommand.h"
#include "shellext/SelecterMenu.h"

namespace quorvel {

namespace {

// The registry script of the class SelecterMenu.
constexpr UINT kSelecterMenuScriptResource = 103;

HRESULT UpdateSelecterMenuRegistration(BOOL registerClass) noexcept {
  CQuorvelModule* module = QuorvelModule();
  if (module == nullptr) return E_UNEXPECTED;
  return module->ApplyRegistryResource(kSelecterMenuScriptResource, registerClass, nullptr);
}

// The Explorer command is registered by the package that declares it to
// Windows 11's menu, not by DllRegisterServer: its registration step leaves
// the registry as it is, so the registration table stays the handler's.
HRESULT LeaveSelecterCommandRegistration(BOOL /*registerClass*/) noexcept { return S_OK; }

const CATID* NoCategories() noexcept { return nullptr; }

ClassEntry g_selecterMenuEntry = {
    &CLSID_SelecterMenu, &UpdateSelecterMenuRegistration, &CSelecterMenu::CreateFactory, &CSelecterMenu::CreateObject,
    {nullptr},           &NoCategories,
};
ClassEntry g_selecterCommandEntry = {
    &CLSID_SelecterCommand, &LeaveSelecterCommandRegistration, &CSelecterCommand::CreateFactory,
    &CSelecterCommand::CreateObject, {nullptr}, &NoCategories,
};
ClassEntry* g_classEntries[] = {&g_selecterMenuEntry, &g_selecterCommandEntry};

ClassTable g_classTable(CurrentModuleInstance(), std::begin(g_classEntries), std::end(g_classEntries));
CQuorvelModule g_module;
CQuorvelApp g_app;

// The handler loads its menu bitmap from the resource instance, which start-up
// may switch to a satellite resource library on the first request. Naming the
// source only stores a pointer.
HINSTANCE ApplicationResourceInstance() noexcept { return g_app.ResourceInstance(); }
const bool g_resourceSourceNamed = (SetResourceInstanceSource(&ApplicationResourceInstance), true);

}  // namespace

ClassTable& GetClassTable() noexcept { return g_classTable; }
CQuorvelApp& GetQuorvelApp() noexcept { return g_app; }


void ShutDownStaticRecords() noexcept { g_app.ShutDown(); }

void AbandonStaticRecords() noexcept {
  g_app.Abandon();
  g_module.Abandon();
  g_classTable.Abandon();
}

}  // namespace quorvel
