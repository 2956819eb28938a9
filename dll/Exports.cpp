// The four exports of quorvel.dll and its entry point. Each export is thin and
// forwards to a noexcept operation of the server frame that answers with a
// result code, so nothing can be thrown here to catch.
#include "dll/ModuleState.h"
#include "platform/WinApi.h"
#include "server/ClassTable.h"
#include "server/ModuleRegistration.h"
#include "server/QuorvelModule.h"

using namespace quorvel;

// DllMain runs under the process's loader lock, inside whatever process shows
// a context menu. It may call only the few kernel32 functions that neither
// load nor free a library, wait for another thread or call into another
// library: anything more can deadlock or crash the host. So it loads nothing
// (the satellite resource library is looked for on the first request for the
// resource instance, see CQuorvelApp) and, when the process exits (`reserved`
// non-null), frees and releases nothing either: the other libraries may be
// gone by then and the platform reclaims the memory, so the static records
// let go of what they hold without calling it. Only an ordinary unload by
// FreeLibrary cleans up: it frees the satellite, and the records' destructors
// that run next release the cached class factory and type information.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (reserved != nullptr) {
        AbandonStaticRecords();
      } else {
        ShutDownStaticRecords();
      }
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return GetClassTable().GetClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
  CQuorvelModule* module = QuorvelModule();
  if (module == nullptr) return S_OK;
  return module->GetModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() { return RegisterModule(TRUE); }

STDAPI DllUnregisterServer() { return UnregisterModule(TRUE); }
