#include "platform/PerUserRegistry.h"

#include <algorithm>
#include <new>

namespace quorvel {

namespace {

constexpr long kErrorAccessDenied = 5;
constexpr long kErrorOutOfMemory = 14;

bool SameName(const char16_t* a, const char16_t* b) noexcept {
  if (a == nullptr) return false;
  for (; *a != 0 && *b != 0; ++a, ++b) {
    char16_t x = *a, y = *b;
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

CPerUserRegistry::CPerUserRegistry(IRegistry& base) noexcept : m_base(base) {
  m_openError = m_base.CreateKey(HKEY_CURRENT_USER, u"Software\\Classes", KEY_READ | KEY_WRITE, &m_userClasses);
  if (m_openError != 0) m_userClasses = nullptr;
}

CPerUserRegistry::~CPerUserRegistry() {
  if (m_userClasses != nullptr) m_base.CloseKey(m_userClasses);
}

HKEY CPerUserRegistry::MapRoot(HKEY parent) const noexcept {
  if (parent == HKEY_CLASSES_ROOT) return m_userClasses;
  if (parent == HKEY_LOCAL_MACHINE) return HKEY_CURRENT_USER;
  return parent;
}

CPerUserRegistry::Step CPerUserRegistry::Classify(HKEY parent, const char16_t* subKey) const noexcept {
  if (parent == HKEY_LOCAL_MACHINE && SameName(subKey, u"Software")) return Step::MachineSoftware;
  if (SameName(subKey, u"Wow6432Node") &&
      std::find(m_machineSoftware.begin(), m_machineSoftware.end(), parent) != m_machineSoftware.end()) {
    return Step::Wow64Alias;
  }
  return Step::Plain;
}

long CPerUserRegistry::Reach(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key, bool create) {
  if (m_userClasses == nullptr) return m_openError;
  const Step step = Classify(parent, subKey);
  if (step == Step::Wow64Alias) return m_base.OpenKey(parent, nullptr, access, key);
  const HKEY mapped = MapRoot(parent);
  if (step == Step::MachineSoftware) {
    try {
      m_machineSoftware.reserve(m_machineSoftware.size() + 1);
    } catch (const std::bad_alloc&) {
      return kErrorOutOfMemory;
    }
  }
  const long error = create ? m_base.CreateKey(mapped, subKey, access, key) : m_base.OpenKey(mapped, subKey, access, key);
  if (error == 0 && step == Step::MachineSoftware) m_machineSoftware.push_back(*key);  // room reserved above
  return error;
}

long CPerUserRegistry::OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) {
  return Reach(parent, subKey, access, key, false);
}

long CPerUserRegistry::CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) {
  return Reach(parent, subKey, access, key, true);
}

long CPerUserRegistry::SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) {
  return m_base.SetValue(MapRoot(key), name, type, data, size);
}

long CPerUserRegistry::DeleteValue(HKEY key, const char16_t* name) { return m_base.DeleteValue(MapRoot(key), name); }

long CPerUserRegistry::DeleteKey(HKEY parent, const char16_t* subKey) {
  if (m_userClasses == nullptr) return m_openError;
  // The alias is the user's whole Software key: never deleted through it.
  if (Classify(parent, subKey) == Step::Wow64Alias) return kErrorAccessDenied;
  return m_base.DeleteKey(MapRoot(parent), subKey);
}

long CPerUserRegistry::EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) {
  return m_base.EnumKey(MapRoot(key), index, name, length);
}

long CPerUserRegistry::QuerySubkeyCount(HKEY key, uint32_t* count) {
  return m_base.QuerySubkeyCount(MapRoot(key), count);
}

long CPerUserRegistry::CloseKey(HKEY key) {
  m_machineSoftware.erase(std::remove(m_machineSoftware.begin(), m_machineSoftware.end(), key),
                          m_machineSoftware.end());
  return m_base.CloseKey(key);
}

}  // namespace quorvel
