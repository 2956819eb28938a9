// The quorvel.dll of this build, loaded as the shell or regsvr32 loads it,
// with its four exports.
#pragma once

#include <string>

#include "platform/LibraryHandle.h"
#include "platform/WinApi.h"

namespace quorvel {

class CBuiltLibrary {
 public:
  using GetClassObjectExport = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using PlainExport = HRESULT(STDAPICALLTYPE*)();

  // The library's path in the Wine prefix, where Z: is the file system's root.
  static std::wstring Path() {
    std::wstring path = L"Z:";
    for (const char* p = QUORVEL_DLL; *p != 0; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
  }

  // Loads the library; false when it or one of its exports is missing.
  bool Load() {
    m_library.Reset(LoadLibraryW(Path().c_str()));
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
