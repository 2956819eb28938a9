#include "server/QuorvelModule.h"

#include <new>

#include "registrar/ScriptResource.h"
#include "server/ModuleInstances.h"
#include "server/RegistrationTarget.h"

namespace quorvel {

namespace {
CQuorvelModule* g_module = nullptr;
}  // namespace

const char16_t kAppIdText[] = u"{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}";

CQuorvelModule* QuorvelModule() noexcept { return g_module; }

CQuorvelModule::CQuorvelModule() noexcept {
  g_module = this;
  InitializeCriticalSection(&m_moduleLock);
  m_initialised = 1;
}

CQuorvelModule::~CQuorvelModule() {
  Terminate();
  if (g_module == this) g_module = nullptr;
}

LONG CQuorvelModule::AddModuleLock() noexcept { return InterlockedIncrement(&m_lockCount); }

LONG CQuorvelModule::ReleaseModuleLock() noexcept { return InterlockedDecrement(&m_lockCount); }

LONG CQuorvelModule::GetModuleLockCount() noexcept {
  return InterlockedCompareExchange(&m_lockCount, 0, 0);
}

HRESULT CQuorvelModule::AddModuleVariables(IRegistrarBase* registrar) noexcept {
  if (registrar == nullptr) return E_POINTER;
  return registrar->AddVariable(u"APPID", kAppIdText);
}

HRESULT CQuorvelModule::ApplyRegistryResource(UINT resourceId, BOOL registerFlag,
                                              const RegistryVariable* variables) noexcept {
  if (m_initialised == 0) return E_UNEXPECTED;
  const AddModuleVariablesHook hook = [](void* context, IRegistrarBase* registrar) noexcept {
    return static_cast<CQuorvelModule*>(context)->AddModuleVariables(registrar);
  };
  return quorvel::ApplyRegistryResource(GetModuleInstance(), resourceId, registerFlag != FALSE, variables, hook, this,
                                         RegistrationRegistry());
}

HRESULT CQuorvelModule::AddCleanup(CleanupFunction function, DWORD_PTR argument) noexcept {
  if (m_initialised == 0) return E_UNEXPECTED;
  CleanupEntry* entry = new (std::nothrow) CleanupEntry{function, argument, nullptr};
  if (entry == nullptr) return E_OUTOFMEMORY;
  CModuleLockScope lock(*this);
  entry->Next = m_cleanups;
  m_cleanups = entry;
  return S_OK;
}

void CQuorvelModule::Terminate() noexcept {
  if (m_initialised == 0) return;
  CleanupEntry* entry = m_cleanups;
  while (entry != nullptr) {
    CleanupEntry* next = entry->Next;
    entry->Function(entry->Argument);
    delete entry;
    entry = next;
  }
  m_cleanups = nullptr;
  DeleteCriticalSection(&m_moduleLock);
  m_initialised = 0;
}

void CQuorvelModule::Abandon() noexcept {
  m_cleanups = nullptr;
  m_initialised = 0;
}

LONG AddModuleLock() noexcept {
  CQuorvelModule* module = QuorvelModule();
  return module != nullptr ? module->AddModuleLock() : 0;
}

LONG ReleaseModuleLock() noexcept {
  CQuorvelModule* module = QuorvelModule();
  return module != nullptr ? module->ReleaseModuleLock() : 0;
}

}  // namespace quorvel
