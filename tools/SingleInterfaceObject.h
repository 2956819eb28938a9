// The IUnknown of the tools' small COM objects that serve one interface: a
// reference count that starts at one, the creator's, and deletes the object
// at zero. Single-threaded, as the apartments they live in.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

template <typename Interface>
class CSingleInterfaceObject : public Interface {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, __uuidof(Interface))) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<Interface*>(this);
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_references; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = --m_references;
    if (count == 0) delete this;
    return count;
  }

 protected:
  CSingleInterfaceObject() = default;
  CSingleInterfaceObject(const CSingleInterfaceObject&) = delete;
  CSingleInterfaceObject& operator=(const CSingleInterfaceObject&) = delete;
  virtual ~CSingleInterfaceObject() = default;

 private:
  ULONG m_references = 1;
};

}  // namespace quorvel
