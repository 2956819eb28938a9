#include "tools/SurrogateRegistration.h"

#include "tools/FolderWindow.h"

namespace quorvel {

namespace {

constexpr wchar_t kCommandClassKey[] = L"CLSID\\{F06FB54A-A1ED-4613-9C05-63353D9D46F5}";
constexpr wchar_t kCommandAppId[] = L"{24DBDC30-9162-4005-BBFB-45EFB2CD66B8}";
constexpr wchar_t kAppIdKey[] = L"AppID\\{24DBDC30-9162-4005-BBFB-45EFB2CD66B8}";
constexpr wchar_t kInterfaceKey[] = L"Interface\\{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}";
constexpr wchar_t kProxyClassKey[] = L"CLSID\\{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}";
// Wine starts the 32-bit surrogate for an empty value; the 64-bit one must be
// named.
const wchar_t* const kSurrogate = sizeof(void*) == 8 ? L"C:\\windows\\system32\\dllhost.exe" : L"";

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
      {std::wstring(kInterfaceKey) + L"\\ProxyStubClsid32", nullptr, L"{A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}"},
      {std::wstring(kInterfaceKey) + L"\\NumMethods", nullptr, L"11"},
      {kProxyClassKey, nullptr, L"IExplorerCommand proxy/stub"},
      {proxyServer, nullptr, proxyDll},
      {proxyServer, L"ThreadingModel", L"Both"},
  };
  for (const auto& value : values) {
    const HRESULT result = SetValue(value.key, value.name, value.value, error);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

void CSurrogateRegistration::Remove() noexcept {
  if (!m_registered) return;
  m_registered = false;
  for (const wchar_t* key : {kCommandClassKey, kAppIdKey, kInterfaceKey, kProxyClassKey}) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  }
}

}  // namespace quorvel
