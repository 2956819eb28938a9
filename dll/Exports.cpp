// The four exports of quorvel.dll and its entry point. Each export is thin and
// forwards to the module; none lets an exception reach its caller.
#include "platform/WinApi.h"
#include "server/ClassTable.h"
#include "server/ModuleRegistration.h"
#include "server/QuorvelApp.h"
#include "server/QuorvelModule.h"

using namespace quorvel;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      if (!GetQuorvelApp().StartUp()) {
        GetQuorvelApp().ShutDown();
        return FALSE;
      }
      break;
    case DLL_PROCESS_DETACH:
      GetQuorvelApp().ShutDown();
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  try {
    return GetClassTable().GetClassObject(clsid, iid, out);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllCanUnloadNow() {
  CQuorvelModule* module = QuorvelModule();
  if (module == nullptr) return S_OK;
  return module->GetModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  try {
    return RegisterModule(TRUE);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return UnregisterModule(TRUE);
  } catch (...) {
    return E_UNEXPECTED;
  }
}
