// served-class.exe LIBRARY {CLSID}: whether LIBRARY serves the class CLSID as
// Windows 11's menu needs it: DllGetClassObject answers a class factory for
// it, and the factory's object answers IExplorerCommand. Prints one line per
// step; exit code 0 when every step succeeds, 1 when one fails, 2 on bad usage.
#include <cstdio>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "tests/support/ServerLibrary.h"

#include <shobjidl.h>

namespace {

int Report(const char* step, HRESULT result) {
  std::printf("%s: 0x%08lX\n", step, static_cast<unsigned long>(result));
  return FAILED(result) ? 1 : 0;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
  if (count != 3) return 2;
  CLSID clsid;
  if (FAILED(CLSIDFromString(arguments[2], &clsid))) return 2;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  int status = 0;
  {
    quorvel::CServerLibrary library;
    if (!library.Load(arguments[1])) {
      std::printf("load: failed\n");
      status = 1;
    } else {
      quorvel::CScopedComPtr<IClassFactory> factory;
      quorvel::CScopedComPtr<IUnknown> object;
      quorvel::CScopedComPtr<IExplorerCommand> command;
      status = Report("class-factory", library.GetClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid()));
      if (status == 0) status = Report("create-instance", factory->CreateInstance(nullptr, IID_IUnknown, object.ReceiveVoid()));
      if (status == 0) status = Report("explorer-command", object->QueryInterface(IID_IExplorerCommand, command.ReceiveVoid()));
    }
  }
  CoUninitialize();
  return status;
}
