// CWindowsRegistry: IRegistry on the Windows registry itself (Windows only).
#pragma once

#include "platform/Registry.h"

namespace quorvel {

class CWindowsRegistry final : public IRegistry {
 public:
  long OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) override;
  long DeleteValue(HKEY key, const char16_t* name) override;
  // RegDeleteKeyExW when the loaded Advapi32.dll exports it, else RegDeleteKeyW.
  long DeleteKey(HKEY parent, const char16_t* subKey) override;
  long EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) override;
  long QuerySubkeyCount(HKEY key, uint32_t* count) override;
  long CloseKey(HKEY key) override;
};

// The process's one instance; it holds no state.
IRegistry& WindowsRegistry() noexcept;

}  // namespace quorvel
