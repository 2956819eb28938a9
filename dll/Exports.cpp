// The four exports of quorvel.dll and its entry point. Each export is thin and
// forwards to a noexcept operation of the server frame that answers with a
// result code, so nothing can be thrown here to catch.
#include "dll/ModuleState.h"
#include "platform/WinApi.h"
#include "server/ClassTable.h"
#include "server/ModuleRegistration.h"
#include "server/QuorvelModule.h"
#include "server/UserRegistration.h"

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

// regsvr32 /n /i:user calls DllInstall(TRUE, L"user"), and /u /n /i:user
// DllInstall(FALSE, L"user"): the registration for the current user alone.
// Without an argument it is the machine-wide registration of
// DllRegisterServer / DllUnregisterServer; any other argument is refused
// with E_INVALIDARG and nothing changed.
STDAPI DllInstall(BOOL install, PCWSTR cmdLine) {
  if (cmdLine == nullptr || cmdLine[0] == L'\0') {
    return install ? RegisterModule(TRUE) : UnregisterModule(TRUE);
  }
  // Ordinal, so that no user locale (Turkish dotted I) changes the answer.
  if (CompareStringOrdinal(cmdLine, -1, L"user", -1, TRUE) != CSTR_EQUAL) return E_INVALIDARG;
  return install ? RegisterModuleForUser() : UnregisterModuleForUser();
}
