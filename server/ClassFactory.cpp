#include "server/ClassFactory.h"

#include <new>

namespace quorvel {

const InterfaceEntry* CComClassFactory::GetInterfaceTable() noexcept {
  static const InterfaceEntry table[] = {
      {&IID_IClassFactory, InterfaceOffset<CComClassFactory, IClassFactory>()},
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  // An aggregate hands its outer object only its own IUnknown.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  if (m_createFunction == nullptr) return E_UNEXPECTED;
  return m_createFunction(outer, iid, out);
}

STDMETHODIMP CComClassFactory::LockServer(BOOL lock) {
  if (lock) {
    AddModuleLock();
  } else {
    ReleaseModuleLock();
  }
  return S_OK;
}

HRESULT CreateCachedFactory(CreateObjectFunction createObject, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* factory = new (std::nothrow) CComObjectCached<CComClassFactory>();
  if (factory == nullptr) return E_OUTOFMEMORY;
  factory->m_createFunction = createObject;
  const HRESULT result = factory->QueryInterface(iid, out);
  if (result != S_OK) delete factory;
  return result;
}

}  // namespace quorvel
