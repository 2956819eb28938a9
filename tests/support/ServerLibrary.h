// A copy of quorvel.dll loaded as the shell or regsvr32 loads it, with its
// four exports.
#pragma once

#include <string>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

class CServerLibrary {
 public:
  using GetClassObjectExport = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using PlainExport = HRESULT(STDAPICALLTYPE*)();

  // Loads the library; false when it or one of its exports is missing.
  bool Load(const std::wstring& path) {
    m_library.Reset(LoadLibraryW(path.c_str()));
    if (!m_library.IsValid()) return false;
    GetClassObject = Find<GetClassObjectExport>("DllGetClassObject");
    CanUnloadNow = Find<PlainExport>("DllCanUnloadNow");
    RegisterServer = Find<PlainExport>("DllRegisterServer");
    UnregisterServer = Find<PlainExport>("DllUnregisterServer");
    return GetClassObject != nullptr && CanUnloadNow != nullptr && RegisterServer != nullptr &&
           UnregisterServer != nullptr;
  }

  void Unload() noexcept { m_library.Reset(); }
  HMODULE Get() const noexcept { return m_library.Get(); }

  GetClassObjectExport GetClassObject = nullptr;
  PlainExport CanUnloadNow = nullptr;
  PlainExport RegisterServer = nullptr;
  PlainExport UnregisterServer = nullptr;

 private:
  template <typename Function>
  Function Find(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_library.Get(), name)));
  }

  CLibraryHandle m_library;
};

}  // namespace quorvel
