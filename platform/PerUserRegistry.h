// CPerUserRegistry: an IRegistry that turns a machine-wide registration into
// one for the current user alone, so that the same scripts serve both.
//
//   HKEY_CLASSES_ROOT\X         -> HKEY_CURRENT_USER\Software\Classes\X
//   HKEY_LOCAL_MACHINE\X        -> HKEY_CURRENT_USER\X
//   HKEY_LOCAL_MACHINE\Software\Wow6432Node\X -> HKEY_CURRENT_USER\Software\X
//
// The last line: the user's Software key is one key for 64-bit and 32-bit
// programs, so what a machine registration writes into the 32-bit view of
// the machine's software belongs in the same user key (opening
// Software\Wow6432Node there gives the user's Software key once more, and
// deleting it is refused). Other roots pass through unchanged. Nothing is
// redirected for the process: only calls made through this object.
#pragma once

#include <vector>

#include "platform/Registry.h"

namespace quorvel {

class CPerUserRegistry final : public IRegistry {
 public:
  // Opens (creating it if needed) the user's Software\Classes key in `base`;
  // OpenError() tells whether that worked.
  explicit CPerUserRegistry(IRegistry& base) noexcept;
  ~CPerUserRegistry() override;  // closes the classes key
  CPerUserRegistry(const CPerUserRegistry&) = delete;
  CPerUserRegistry& operator=(const CPerUserRegistry&) = delete;

  // 0 when the user's classes key is open, else the store's code.
  long OpenError() const noexcept { return m_openError; }

  long OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) override;
  long DeleteValue(HKEY key, const char16_t* name) override;
  long DeleteKey(HKEY parent, const char16_t* subKey) override;
  long EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) override;
  long QuerySubkeyCount(HKEY key, uint32_t* count) override;
  long CloseKey(HKEY key) override;

 private:
  enum class Step { Plain, MachineSoftware, Wow64Alias };

  HKEY MapRoot(HKEY parent) const noexcept;
  Step Classify(HKEY parent, const char16_t* subKey) const noexcept;
  // Opens or creates as `create` says, mapping the root and the alias.
  long Reach(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key, bool create);

  IRegistry& m_base;
  HKEY m_userClasses = nullptr;
  long m_openError = 0;
  // Open handles of the user's Software key reached as the machine's.
  std::vector<HKEY> m_machineSoftware;
};

}  // namespace quorvel
