// The table of creatable classes, each with its cached class factory.
#pragma once

#include <atomic>

#include "platform/WinApi.h"
#include "server/ComObject.h"

namespace quorvel {

struct ClassEntry {
  const CLSID* Clsid;
  HRESULT (*UpdateRegistration)(BOOL registerClass);
  HRESULT (*CreateFactory)(CreateObjectFunction createObject, REFIID iid, void** out);
  CreateObjectFunction CreateObject;
  // Owns one reference once created. The unlocked first look is an acquire
  // load that pairs with the release store made under the table lock.
  std::atomic<IUnknown*> CachedFactory;
  const CATID* (*CategoryList)();
};

class ClassTable {
 public:
  ClassTable(HINSTANCE typeLibInstance, ClassEntry** first, ClassEntry** last) noexcept;
  ~ClassTable();  // runs Terminate
  ClassTable(const ClassTable&) = delete;
  ClassTable& operator=(const ClassTable&) = delete;

  // DllGetClassObject: the cached factory of `clsid`, created on first request.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
  // Releases every cached factory and destroys the table lock.
  void Terminate() noexcept;
  // The process is exiting: lets go of the cached factories without calling
  // them, and leaves the table uninitialised, so that its destruction does
  // nothing.
  void Abandon() noexcept;

  bool IsInitialised() const noexcept { return m_initialised != 0; }
  HINSTANCE TypeLibInstance() const noexcept { return m_typeLibInstance; }
  ClassEntry** begin() const noexcept { return m_first; }
  ClassEntry** end() const noexcept { return m_last; }

 private:
  UINT m_initialised = 0;
  HINSTANCE m_typeLibInstance;
  ClassEntry** m_first;
  ClassEntry** m_last;
  CRITICAL_SECTION m_tableLock;
};

// The class table of this library: a static record of the library that links
// the server (dll/ModuleState.cpp).
ClassTable& GetClassTable() noexcept;

}  // namespace quorvel
