// What lets COM run the Explorer command in its surrogate (dllhost.exe) in a
// Wine prefix, as the package does on Windows 11: the class with quorvel.dll
// as its in-process server and an AppID whose DllSurrogate names the
// surrogate, and the proxy/stub of IExplorerCommand (explorer-command-proxy.dll),
// which Windows has and Wine lacks. The same library stands in for Wine's
// proxies of IFolderView, IEnumIDList and IPersistFolder2 while registered, as
// those cut every ID list short; Wine's are put back on removal. For test prefixes only: the
// product's registration table does not change.
#pragma once

#include <set>
#include <string>

#include "platform/WinApi.h"

namespace quorvel {

class CSurrogateRegistration {
 public:
  CSurrogateRegistration() = default;
  CSurrogateRegistration(const CSurrogateRegistration&) = delete;
  CSurrogateRegistration& operator=(const CSurrogateRegistration&) = delete;
  ~CSurrogateRegistration() { Remove(); }  // what Register wrote

  // Writes the keys under HKEY_CLASSES_ROOT for `dll` and `proxyDll` (Windows
  // paths). The surrogate of this program's bitness serves the class.
  HRESULT Register(const std::wstring& dll, const std::wstring& proxyDll, std::wstring* error);
  void Remove() noexcept;

 private:
  bool m_registered = false;
  // The proxy/stub class each replaced interface had, in kReplacedProxies' order.
  std::wstring m_replacedProxies[3];
};

// The process identifiers of the running surrogates (dllhost.exe).
std::set<DWORD> RunningSurrogates();

// The surrogate a run started: waits for it to exit after the last release,
// and ends it when it does not (Wine's dllhost.exe stays; it also holds the
// starting program's output open).
class CStartedSurrogate {
 public:
  CStartedSurrogate() = default;
  CStartedSurrogate(const CStartedSurrogate&) = delete;
  CStartedSurrogate& operator=(const CStartedSurrogate&) = delete;
  ~CStartedSurrogate() { End(0); }

  // Remembers the one surrogate running now that was not in `before`; false
  // when there is not exactly one.
  bool Find(const std::set<DWORD>& before);
  // Waits up to `milliseconds` for the surrogate to exit by itself (true),
  // then ends it.
  bool End(DWORD milliseconds) noexcept;

 private:
  HANDLE m_process = nullptr;
};

}  // namespace quorvel
