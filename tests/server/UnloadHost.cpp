// unload-host.exe DLL: a thread loads the library as the shell does, makes
// the handler, runs Initialize while the library's own allocations fail (so
// that it throws and catches inside, and answers E_OUTOFMEMORY), releases
// everything, unloads the library once DllCanUnloadNow allows it, and ends;
// then the process ends. Whatever the C++ runtime kept per thread for the
// exception must not outlive the library: a thread or process that ends
// after the unload must not run code of it.
// Exit codes: 0 clean; 2 bad arguments; 3 the library did not load or make
// the handler; 4 Initialize did not fail with E_OUTOFMEMORY (nothing was
// thrown, so the test would prove nothing); 5 the library could not be
// unloaded; a crash gives its exception code.
#include <cstdlib>

#include "Quorvel.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/ServerLibrary.h"

namespace quorvel {
namespace {

void* __cdecl RefusedAllocation(size_t) { return nullptr; }

DWORD UseAndUnload(const wchar_t* path) {
  CServerLibrary library;
  if (!library.Load(path)) return 3;
  {
    IClassFactory* factory = nullptr;
    if (library.GetClassObject(CLSID_SelecterMenu, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
      return 3;
    }
    IShellExtInit* handler = nullptr;
    const HRESULT made = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&handler));
    factory->Release();
    if (made != S_OK) return 3;
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt"});
    HRESULT initialized = S_OK;
    {
      // The C runtime's malloc, under which operator new sits in every build.
      CImportPatch failing(library.Get(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(&RefusedAllocation));
      if (!failing.Patched()) return 3;
      initialized = handler->Initialize(nullptr, &data, nullptr);
    }
    handler->Release();
    if (initialized != E_OUTOFMEMORY) return 4;
  }
  if (library.CanUnloadNow() != S_OK) return 5;
  library.Unload();
  return GetModuleHandleW(path) == nullptr ? 0 : 5;
}

DWORD WINAPI Worker(void* path) { return UseAndUnload(static_cast<const wchar_t*>(path)); }

}  // namespace
}  // namespace quorvel

int wmain(int count, wchar_t** arguments) {
  if (count != 2) return 2;
  quorvel::CScopedFileHandle thread(CreateThread(nullptr, 0, quorvel::Worker, arguments[1], 0, nullptr));
  if (!thread.IsValid()) return 2;
  WaitForSingleObject(thread.Get(), INFINITE);
  DWORD code = 2;
  GetExitCodeThread(thread.Get(), &code);
  return static_cast<int>(code);
}
