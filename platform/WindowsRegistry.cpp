#include "platform/WindowsRegistry.h"

#include "platform/WinApi.h"

namespace quorvel {

namespace {

using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// Looked up once, on the first deletion of the process; the outcome, found
// or not, holds for the rest of the process.
DeleteKeyExFunction FindDeleteKeyEx() noexcept {
  static const DeleteKeyExFunction function = []() -> DeleteKeyExFunction {
    const HMODULE advapi = GetModuleHandleW(L"Advapi32.dll");
    if (advapi == nullptr) return nullptr;
    return reinterpret_cast<DeleteKeyExFunction>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")));
  }();
  return function;
}

}  // namespace

long CWindowsRegistry::OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) {
  return RegOpenKeyExW(parent, AsWide(subKey), 0, access, key);
}

long CWindowsRegistry::CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) {
  return RegCreateKeyExW(parent, AsWide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key,
                         nullptr);
}

long CWindowsRegistry::SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data,
                                uint32_t size) {
  return RegSetValueExW(key, AsWide(name), 0, type, data, size);
}

long CWindowsRegistry::DeleteValue(HKEY key, const char16_t* name) { return RegDeleteValueW(key, AsWide(name)); }

long CWindowsRegistry::DeleteKey(HKEY parent, const char16_t* subKey) {
  if (const DeleteKeyExFunction deleteKeyEx = FindDeleteKeyEx()) return deleteKeyEx(parent, AsWide(subKey), 0, 0);
  return RegDeleteKeyW(parent, AsWide(subKey));
}

long CWindowsRegistry::EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) {
  DWORD units = *length;
  const LONG error = RegEnumKeyExW(key, index, AsWide(name), &units, nullptr, nullptr, nullptr, nullptr);
  if (error == ERROR_SUCCESS) *length = units;
  return error;
}

long CWindowsRegistry::QuerySubkeyCount(HKEY key, uint32_t* count) {
  DWORD subkeys = 0;
  const LONG error =
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
  if (error == ERROR_SUCCESS) *count = subkeys;
  return error;
}

long CWindowsRegistry::CloseKey(HKEY key) { return RegCloseKey(key); }

IRegistry& WindowsRegistry() noexcept {
  static CWindowsRegistry registry;
  return registry;
}

}  // namespace quorvel
