// The class factory: creates objects through the class's creation function.
// The object actually made and cached in the class table is
// CComObjectCached<CComClassFactory>, whose count holds one module lock while
// anybody besides the class table holds a reference.
#pragma once

#include "platform/WinApi.h"
#include "server/ComObject.h"
#include "server/ObjectRoot.h"

namespace quorvel {

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
 public:
  static const InterfaceEntry* GetInterfaceTable() noexcept;

  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHOD(LockServer)(BOOL lock) override;

 protected:
  CreateObjectFunction m_createFunction = nullptr;
  friend HRESULT CreateCachedFactory(CreateObjectFunction, REFIID, void**) noexcept;
};

template <class Base>
class CComObjectCached : public Base {
 public:
  CComObjectCached() = default;
  virtual ~CComObjectCached() { this->m_refCount = kDestructionGuard; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    return QueryInterfaceByTable(static_cast<Base*>(this), Base::GetInterfaceTable(), iid, out);
  }
  // The class table holds the first reference: the change to 2 means an outside
  // holder appeared, the change back to 1 that the last one left. Decisions come
  // from the value each atomic operation returns.
  STDMETHOD_(ULONG, AddRef)() override {
    const ULONG count = this->InternalAddRef();
    if (count == 2) quorvel::AddModuleLock();
    return count;
  }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = this->InternalRelease();
    if (count == 0) {
      delete this;
    } else if (count == 1) {
      quorvel::ReleaseModuleLock();
    }
    return count;
  }
};

}  // namespace quorvel
