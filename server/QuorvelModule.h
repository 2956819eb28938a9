// CQuorvelModule: the library-wide state of the COM server. It counts every
// reason the library must stay loaded (handlers, outside references to the
// class factory, LockServer locks) and keeps the clean-up actions to run when
// the library unloads.
#pragma once

#include "platform/WinApi.h"
#include "registrar/RegistrarBase.h"
#include "registrar/ScriptVariables.h"

namespace quorvel {

// The component's application identifier.
extern const char16_t kAppIdText[];

class CQuorvelModule {
 public:
  using CleanupFunction = void (*)(DWORD_PTR argument);

  // Sets the process-wide module pointer to this object.
  CQuorvelModule() noexcept;
  CQuorvelModule(const CQuorvelModule&) = delete;
  CQuorvelModule& operator=(const CQuorvelModule&) = delete;
  virtual ~CQuorvelModule();  // runs Terminate

  // The module object's table of operations, in this order, is part of its
  // documented shape (the destructor, the three lock-count operations, the
  // registrar's hook): they stay virtual though no class derives from it.

  // The module lock count: atomic; each returns the count after its own change.
  virtual LONG AddModuleLock() noexcept;
  virtual LONG ReleaseModuleLock() noexcept;
  virtual LONG GetModuleLockCount() noexcept;
  // The registrar's hook: adds the module's own variable "APPID".
  virtual HRESULT AddModuleVariables(IRegistrarBase* registrar) noexcept;

  // Runs registry script `resourceId` of this library in registration or
  // removal mode with the caller's variables (ended by a null name; may be
  // null), then the module's own, then "Module" and "Module_Raw".
  HRESULT ApplyRegistryResource(UINT resourceId, BOOL registerFlag, const RegistryVariable* variables) noexcept;

  // Links a clean-up action at the head of the list (newest first):
  // S_OK, or E_OUTOFMEMORY with the list unchanged.
  HRESULT AddCleanup(CleanupFunction function, DWORD_PTR argument) noexcept;

  // Runs the clean-up list, newest first, and destroys the module lock.
  void Terminate() noexcept;
  // The process is exiting: forgets the clean-up list without running it
  // (its actions call into other libraries, which may be gone by then) and
  // leaves the module uninitialised, so that its destruction does nothing.
  void Abandon() noexcept;

  bool IsInitialised() const noexcept { return m_initialised != 0; }

  // The re-entrant module lock; guards the clean-up list and the
  // type-information caches.
  void Lock() noexcept { EnterCriticalSection(&m_moduleLock); }
  void Unlock() noexcept { LeaveCriticalSection(&m_moduleLock); }

 private:
  struct CleanupEntry {
    CleanupFunction Function;
    DWORD_PTR Argument;
    CleanupEntry* Next;
  };

  UINT m_initialised = 0;
  LONG m_lockCount = 0;
  CleanupEntry* m_cleanups = nullptr;
  CRITICAL_SECTION m_moduleLock;
};

// The module object of this process, or null before it is constructed and
// after it is destroyed.
CQuorvelModule* QuorvelModule() noexcept;

// Holds the module lock for one scope.
class CModuleLockScope {
 public:
  explicit CModuleLockScope(CQuorvelModule& module) noexcept : m_module(module) { m_module.Lock(); }
  ~CModuleLockScope() { m_module.Unlock(); }
  CModuleLockScope(const CModuleLockScope&) = delete;
  CModuleLockScope& operator=(const CModuleLockScope&) = delete;

 private:
  CQuorvelModule& m_module;
};

// The lock count operations for objects and factories: nothing happens when
// no module object exists (a program that uses the objects without the server).
LONG AddModuleLock() noexcept;
LONG ReleaseModuleLock() noexcept;

}  // namespace quorvel
