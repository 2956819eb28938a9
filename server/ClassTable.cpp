#include "server/ClassTable.h"

#include <cstring>

namespace quorvel {

ClassTable::ClassTable(HINSTANCE typeLibInstance, ClassEntry** first, ClassEntry** last) noexcept
    : m_typeLibInstance(typeLibInstance), m_first(first), m_last(last) {
  InitializeCriticalSection(&m_tableLock);
  m_initialised = 1;
}

ClassTable::~ClassTable() { Terminate(); }

HRESULT ClassTable::GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (m_initialised == 0) return E_UNEXPECTED;

  HRESULT result = S_OK;
  for (ClassEntry** slot = m_first; slot != m_last; ++slot) {
    ClassEntry* entry = *slot;
    if (entry == nullptr || entry->CreateFactory == nullptr) continue;
    if (std::memcmp(entry->Clsid, &clsid, sizeof(CLSID)) != 0) continue;

    if (entry->CachedFactory.load(std::memory_order_acquire) == nullptr) {
      EnterCriticalSection(&m_tableLock);
      if (entry->CachedFactory.load(std::memory_order_relaxed) == nullptr) {
        IUnknown* factory = nullptr;
        result = entry->CreateFactory(entry->CreateObject, IID_IUnknown, reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(result) && factory != nullptr) entry->CachedFactory.store(factory, std::memory_order_release);
      }
      LeaveCriticalSection(&m_tableLock);
    }
    IUnknown* factory = entry->CachedFactory.load(std::memory_order_acquire);
    if (factory != nullptr) result = factory->QueryInterface(iid, out);
    break;
  }
  if (*out == nullptr && result == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return result;
}

void ClassTable::Terminate() noexcept {
  if (m_initialised == 0) return;
  for (ClassEntry** slot = m_first; slot != m_last; ++slot) {
    ClassEntry* entry = *slot;
    if (entry == nullptr) continue;
    IUnknown* factory = entry->CachedFactory.exchange(nullptr);
    if (factory != nullptr) factory->Release();
  }
  DeleteCriticalSection(&m_tableLock);
  m_initialised = 0;
}

void ClassTable::Abandon() noexcept {
  for (ClassEntry** slot = m_first; slot != m_last; ++slot) {
    if (*slot != nullptr) (*slot)->CachedFactory.store(nullptr);
  }
  m_initialised = 0;
}

}  // namespace quorvel
