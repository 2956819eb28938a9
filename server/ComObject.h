// The creatable forms of a COM class T built on CComObjectRootEx:
//   CComObject<T>           a standalone object with its own reference count;
//   CComContainedObject<T>  T inside an aggregate, forwarding IUnknown to the outer object;
//   CComAggObject<T>        the aggregatable form: its own IUnknown around a contained T;
//   CComCoClass<T, clsid>   binds T to its class identifier and creation functions.
// T provides `static const InterfaceEntry* GetInterfaceTable()`, whose first
// entry is the object's identity. Every live object, plain or aggregated,
// holds one module lock from the end of its construction to the start of its
// field teardown.
#pragma once

#include <new>

#include "base/Failure.h"
#include "platform/WinApi.h"
#include "server/ObjectRoot.h"
#include "server/QuorvelModule.h"

namespace quorvel {

template <class T>
class CComObject : public T {
 public:
  CComObject() { AddModuleLock(); }
  virtual ~CComObject() {
    this->m_refCount = kDestructionGuard;
    ReleaseModuleLock();
  }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    return QueryInterfaceByTable(static_cast<T*>(this), T::GetInterfaceTable(), iid, out);
  }
  STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = this->InternalRelease();
    if (count == 0) delete this;
    return count;
  }
};

template <class T>
class CComContainedObject : public T {
 public:
  explicit CComContainedObject(IUnknown* outer) noexcept { this->m_outerUnknown = outer; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override { return this->OuterQueryInterface(iid, out); }
  STDMETHOD_(ULONG, AddRef)() override { return this->OuterAddRef(); }
  STDMETHOD_(ULONG, Release)() override { return this->OuterRelease(); }
};

template <class T>
class CComAggObject : public IUnknown, public CComObjectRootEx<CComSingleThreadModel> {
 public:
  explicit CComAggObject(IUnknown* outer) : m_contained(outer) { AddModuleLock(); }
  virtual ~CComAggObject() {
    m_refCount = kDestructionGuard;
    ReleaseModuleLock();
  }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      InternalAddRef();
      *out = static_cast<IUnknown*>(this);
      return S_OK;
    }
    return QueryInterfaceByTable(static_cast<T*>(&m_contained), T::GetInterfaceTable(), iid, out);
  }
  STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG count = InternalRelease();
    if (count == 0) delete this;
    return count;
  }

  CComContainedObject<T>& Contained() noexcept { return m_contained; }

 private:
  CComContainedObject<T> m_contained;
};

// Creation function of a class: outer IUnknown (or null), interface, out pointer.
using CreateObjectFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// Makes the class factory that is cached in the class table (ClassFactory.cpp).
HRESULT CreateCachedFactory(CreateObjectFunction createObject, REFIID iid, void** out) noexcept;

template <class T, const CLSID* Clsid>
class CComCoClass {
 public:
  static const CLSID& GetObjectClsid() noexcept { return *Clsid; }

  static HRESULT CreatePlain(REFIID iid, void** out) noexcept {
    return Create<CComObject<T>>(out, [] { return new (std::nothrow) CComObject<T>(); }, iid);
  }

  static HRESULT CreateAggregated(IUnknown* outer, REFIID iid, void** out) noexcept {
    return Create<CComAggObject<T>>(out, [outer] { return new (std::nothrow) CComAggObject<T>(outer); }, iid);
  }

  // Plain when there is no outer object, aggregated otherwise.
  static HRESULT CreateObject(IUnknown* outer, REFIID iid, void** out) noexcept {
    return outer == nullptr ? CreatePlain(iid, out) : CreateAggregated(outer, iid, out);
  }

  static HRESULT CreateFactory(CreateObjectFunction createObject, REFIID iid, void** out) noexcept {
    return CreateCachedFactory(createObject, iid, out);
  }

 private:
  // Allocates one object of a creatable form and answers `iid` from it; an
  // object that cannot answer is destroyed again. A failure raised while T is
  // constructed becomes a result code like any other at this edge.
  template <class Form, class Allocate>
  static HRESULT Create(void** out, Allocate allocate, REFIID iid) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    try {
      Form* object = allocate();
      if (object == nullptr) return E_OUTOFMEMORY;
      const HRESULT result = object->QueryInterface(iid, out);
      if (result != S_OK) delete object;
      return result;
    } catch (...) {
      return ResultOfCurrentException();
    }
  }
};

}  // namespace quorvel
