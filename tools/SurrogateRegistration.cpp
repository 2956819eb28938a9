#include "tools/SurrogateRegistration.h"

#include <iterator>

#include "platform/ScopedHandles.h"
#include "tools/FolderWindow.h"

// After the platform header, which it needs.
#include <tlhelp32.h>

namespace quorvel {

namespace {

constexpr wchar_t kCommandClassKey[] = L"CLSID\\{F06FB54A-A1ED-4613-9C05-63353D9D46F5}";
constexpr wchar_t kCommandAppId[] = L"{24DBDC30-9162-4005-BBFB-45EFB2CD66B8}";
constexpr wchar_t kAppIdKey[] = L"AppID\\{24DBDC30-9162-4005-BBFB-45EFB2CD66B8}";
constexpr wchar_t kInterfaceKey[] = L"Interface\\{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}";
constexpr wchar_t kProxyClassKey[] = L"CLSID\\{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}";
constexpr wchar_t kProxyClass[] = L"{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}";
// IFolderView, IEnumIDList and IPersistFolder2: the library's proxies stand in
// for Wine's.
constexpr const wchar_t* kReplacedProxies[] = {
    L"Interface\\{CDE725B0-CCC9-4519-917E-325D72FAB4CE}\\ProxyStubClsid32",
    L"Interface\\{000214F2-0000-0000-C000-000000000046}\\ProxyStubClsid32",
    L"Interface\\{1AC3D9F0-175C-11D1-95BE-00609797EA4F}\\ProxyStubClsid32",
};
// Wine's proxy/stub class of them all (actxprxy.dll).
constexpr wchar_t kWineShellProxies[] = L"{B8DA6310-E19B-11D0-933C-00A0C90DCAA9}";
// Wine starts the 32-bit surrogate for an empty value; the 64-bit one must be
// named.
const wchar_t* const kSurrogate = sizeof(void*) == 8 ? L"C:\\windows\\system32\\dllhost.exe" : L"";

// The default value of `key`, or empty.
std::wstring DefaultValue(const wchar_t* key) {
  wchar_t value[64] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
  return value;
}

HRESULT SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value, std::wstring* error) {
  const LSTATUS status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status == ERROR_SUCCESS) return S_OK;
  *error = L"writing HKEY_CLASSES_ROOT\\" + key + L" failed: " + FormatResult(HRESULT_FROM_WIN32(status));
  return HRESULT_FROM_WIN32(status);
}

}  // namespace

HRESULT CSurrogateRegistration::Register(const std::wstring& dll, const std::wstring& proxyDll, std::wstring* error) {
  m_registered = true;
  const std::wstring server = std::wstring(kCommandClassKey) + L"\\InprocServer32";
  const std::wstring proxyServer = std::wstring(kProxyClassKey) + L"\\InprocServer32";
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {kCommandClassKey, nullptr, L"SelecterCommand"},
      {kCommandClassKey, L"AppID", kCommandAppId},
      {server, nullptr, dll},
      {server, L"ThreadingModel", L"Apartment"},
      {kAppIdKey, nullptr, L"SelecterCommand"},
      {kAppIdKey, L"DllSurrogate", kSurrogate},
      {kInterfaceKey, nullptr, L"IExplorerCommand"},
      {std::wstring(kInterfaceKey) + L"\\ProxyStubClsid32", nullptr, kProxyClass},
      {std::wstring(kInterfaceKey) + L"\\NumMethods", nullptr, L"11"},
      {kProxyClassKey, nullptr, L"IExplorerCommand proxy/stub"},
      {proxyServer, nullptr, proxyDll},
      {proxyServer, L"ThreadingModel", L"Both"},
  };
  for (const auto& value : values) {
    const HRESULT result = SetValue(value.key, value.name, value.value, error);
    if (FAILED(result)) return result;
  }
  for (size_t i = 0; i < std::size(kReplacedProxies); ++i) {
    m_replacedProxies[i] = DefaultValue(kReplacedProxies[i]);
    // Left behind by a run that was ended before it put Wine's back.
    if (_wcsicmp(m_replacedProxies[i].c_str(), kProxyClass) == 0) m_replacedProxies[i] = kWineShellProxies;
    const HRESULT result = SetValue(kReplacedProxies[i], nullptr, kProxyClass, error);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

void CSurrogateRegistration::Remove() noexcept {
  if (!m_registered) return;
  m_registered = false;
  for (size_t i = 0; i < std::size(kReplacedProxies); ++i) {
    const std::wstring& replaced = m_replacedProxies[i];
    if (replaced.empty()) continue;
    RegSetKeyValueW(HKEY_CLASSES_ROOT, kReplacedProxies[i], nullptr, REG_SZ, replaced.c_str(),
                    static_cast<DWORD>((replaced.size() + 1) * sizeof(wchar_t)));
  }
  for (const wchar_t* key : {kCommandClassKey, kAppIdKey, kInterfaceKey, kProxyClassKey}) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  }
}

std::set<DWORD> RunningSurrogates() {
  std::set<DWORD> found;
  CScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, L"dllhost.exe") == 0) found.insert(entry.th32ProcessID);
  }
  return found;
}

bool CStartedSurrogate::Find(const std::set<DWORD>& before) {
  std::set<DWORD> started;
  for (const DWORD id : RunningSurrogates()) {
    if (before.count(id) == 0) started.insert(id);
  }
  if (started.size() != 1) return false;
  m_process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *started.begin());
  return m_process != nullptr;
}

bool CStartedSurrogate::End(DWORD milliseconds) noexcept {
  if (m_process == nullptr) return false;
  bool exited = false;
  for (DWORD waited = 0;; waited += 100) {
    const DWORD wait = MsgWaitForMultipleObjects(1, &m_process, FALSE, 100, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      exited = true;
      break;
    }
    if (waited >= milliseconds) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  if (!exited) {
    TerminateProcess(m_process, 0);
    WaitForSingleObject(m_process, 10000);
  }
  CloseHandle(m_process);
  m_process = nullptr;
  return exited;
}

}  // namespace quorvel
