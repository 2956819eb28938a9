#include "tools/MergedClassesHandler.h"

#include <vector>

#include "platform/ScopedComPtr.h"

namespace quorvel {

namespace {

constexpr wchar_t kHandlerKey[] = L"*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu";
constexpr wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The string value `name` (null: default) of `path`, read under `root`;
// false when the key or the value is missing.
bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text) {
  DWORD size = 0;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  text->assign(buffer.data());
  return true;
}

// The merged view's answer for one key of the classes: the user's first.
bool ReadClassesText(const std::wstring& path, const wchar_t* name, std::wstring* text, std::wstring* from) {
  if (ReadText(HKEY_CURRENT_USER, L"Software\\Classes\\" + path, name, text)) {
    *from = L"user";
    return true;
  }
  if (ReadText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + path, name, text)) {
    *from = L"machine";
    return true;
  }
  return false;
}

}  // namespace

HRESULT CreateHandlerThroughMergedClasses(REFIID iid, void** out, CLibraryHandle* library,
                                          MergedClassesHandler* found, std::wstring* error) {
  *out = nullptr;
  std::wstring clsidText;
  if (!ReadClassesText(kHandlerKey, nullptr, &clsidText, &found->handlerFrom)) {
    *error = L"no handler key *\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu for the user or the machine";
    return REGDB_E_CLASSNOTREG;
  }
  CLSID clsid = {};
  if (FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) {
    *error = L"the handler key names no class: " + clsidText;
    return REGDB_E_CLASSNOTREG;
  }
  std::wstring server;
  if (!ReadClassesText(L"CLSID\\" + clsidText + L"\\InprocServer32", nullptr, &server, &found->serverFrom)) {
    *error = L"no InprocServer32 for " + clsidText;
    return REGDB_E_CLASSNOTREG;
  }
  std::wstring approval;
  found->approvedBy = ReadText(HKEY_CURRENT_USER, kApproved, clsidText.c_str(), &approval)    ? L"user"
                      : ReadText(HKEY_LOCAL_MACHINE, kApproved, clsidText.c_str(), &approval) ? L"machine"
                                                                                                : L"none";

  library->Reset(LoadLibraryExW(server.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library->IsValid()) {
    *error = L"cannot load " + server;
    return HRESULT_FROM_WIN32(GetLastError());
  }
  using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
      reinterpret_cast<void*>(GetProcAddress(library->Get(), "DllGetClassObject")));
  if (getClassObject == nullptr) {
    *error = server + L" exports no DllGetClassObject";
    return E_NOINTERFACE;
  }
  CScopedComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive()));
  if (FAILED(hr)) {
    *error = L"no class factory";
    return hr;
  }
  hr = factory->CreateInstance(nullptr, iid, out);
  if (FAILED(hr)) *error = L"the class factory made no object";
  return hr;
}

}  // namespace quorvel
