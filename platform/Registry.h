// IRegistry: the registry operations the script interpreter needs, one per
// platform call it makes. Every operation returns a Win32 error code, 0 on
// success, exactly as the Windows registry functions do, so that the
// interpreter runs unchanged on the real registry and on the in-memory store.
#pragma once

#include <cstdint>

#include "platform/RegistryTypes.h"

namespace quorvel {

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // Opens `subKey` beneath `parent`; a null or empty `subKey` opens `parent`
  // itself once more with the access asked for. ERROR_FILE_NOT_FOUND when the
  // key does not exist.
  virtual long OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) = 0;

  // Opens or creates `subKey` beneath `parent` (no class, non-volatile,
  // default security).
  virtual long CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) = 0;

  // Writes one value, replacing an existing one; a null `name` is the key's
  // default value.
  virtual long SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) = 0;

  // ERROR_FILE_NOT_FOUND when the value does not exist.
  virtual long DeleteValue(HKEY key, const char16_t* name) = 0;

  // Deletes one key beneath `parent`; fails while the key has subkeys.
  virtual long DeleteKey(HKEY parent, const char16_t* subKey) = 0;

  // The name of the subkey at `index`. On entry `*length` is the capacity of
  // `name` in units, terminator included; on success it is the name's length.
  // ERROR_NO_MORE_ITEMS past the last subkey, ERROR_MORE_DATA when the name
  // does not fit.
  virtual long EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) = 0;

  virtual long QuerySubkeyCount(HKEY key, uint32_t* count) = 0;

  virtual long CloseKey(HKEY key) = 0;
};

// Owns one key handle opened through an IRegistry and closes it there. The
// surface is that of every owner (platform/ScopedComPtr.h), with the close's
// own code from Close.
class CRegistryKey {
 public:
  explicit CRegistryKey(IRegistry& registry) noexcept : m_registry(registry) {}
  CRegistryKey(IRegistry& registry, HKEY key) noexcept : m_registry(registry), m_key(key) {}
  ~CRegistryKey() { Close(); }
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  HKEY Get() const noexcept { return m_key; }
  bool IsValid() const noexcept { return m_key != nullptr; }

  // Closes the key held and takes `key` in its place.
  void Reset(HKEY key = nullptr) noexcept {
    if (key == m_key) return;
    Close();
    m_key = key;
  }

  // Gives the handle up without closing it.
  HKEY Detach() noexcept {
    HKEY key = m_key;
    m_key = nullptr;
    return key;
  }

  // The slot for a call's out-parameter; any key held is closed first, so
  // that no handle leaks behind it.
  HKEY* Receive() noexcept {
    Close();
    return &m_key;
  }

  // Takes the store's code for the call that filled Receive's slot and hands
  // it back. A failed call hands over no handle: whatever it may have written
  // is given up unclosed, and the owner stays empty.
  long Received(long error) noexcept {
    if (error != 0) m_key = nullptr;
    return error;
  }

  // Closes the key held, if any, and returns the store's code (0 when there
  // was nothing to close). The handle is given up whatever the code.
  long Close() noexcept {
    if (m_key == nullptr) return 0;
    HKEY key = m_key;
    m_key = nullptr;
    return m_registry.CloseKey(key);
  }

 private:
  IRegistry& m_registry;
  HKEY m_key = nullptr;
};

}  // namespace quorvel
