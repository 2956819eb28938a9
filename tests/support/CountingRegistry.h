// CCountingRegistry: any registry store, with the calls made through it
// counted and the key handles it handed out and that were not closed again.
// Lets a test ask the real registry what it asks of the in-memory one.
#pragma once

#include "platform/Registry.h"
#include "tests/support/MemoryRegistry.h"

namespace quorvel {

class CCountingRegistry final : public IRegistry {
 public:
  explicit CCountingRegistry(IRegistry& store) noexcept : m_store(store) {}

  long OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override {
    return Opened(Count(RegistryCall::kOpenKey, m_store.OpenKey(parent, subKey, access, key)));
  }
  long CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override {
    return Opened(Count(RegistryCall::kCreateKey, m_store.CreateKey(parent, subKey, access, key)));
  }
  long SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) override {
    return Count(RegistryCall::kSetValue, m_store.SetValue(key, name, type, data, size));
  }
  long DeleteValue(HKEY key, const char16_t* name) override {
    return Count(RegistryCall::kDeleteValue, m_store.DeleteValue(key, name));
  }
  long DeleteKey(HKEY parent, const char16_t* subKey) override {
    return Count(RegistryCall::kDeleteKey, m_store.DeleteKey(parent, subKey));
  }
  long EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) override {
    return Count(RegistryCall::kEnumKey, m_store.EnumKey(key, index, name, length));
  }
  long QuerySubkeyCount(HKEY key, uint32_t* count) override {
    return Count(RegistryCall::kQuerySubkeyCount, m_store.QuerySubkeyCount(key, count));
  }
  long CloseKey(HKEY key) override {
    --m_openHandles;  // given up whatever the close answers
    return Count(RegistryCall::kCloseKey, m_store.CloseKey(key));
  }

  int GetCallCount(RegistryCall call) const noexcept { return m_calls[static_cast<int>(call)]; }
  int GetOpenHandleCount() const noexcept { return m_openHandles; }

 private:
  long Count(RegistryCall call, long error) noexcept {
    ++m_calls[static_cast<int>(call)];
    return error;
  }
  long Opened(long error) noexcept {
    if (error == 0) ++m_openHandles;
    return error;
  }

  IRegistry& m_store;
  int m_calls[kRegistryCallKinds] = {};
  int m_openHandles = 0;
};

}  // namespace quorvel
