// The roots every COM object of the server is built on: the reference-count
// word, the two counting models, the interface table and its search.
#pragma once

#include <cstddef>

#include "platform/WinApi.h"

namespace quorvel {

// When an object's destruction begins its count is set to this value, so that
// references taken and dropped while its fields are torn down can never bring
// it back to zero and start a second destruction.
constexpr LONG kDestructionGuard = -(0x7FFFFFFF / 2);  // -1073741823, bits 0xC0000001

// One row of an object's interface table: the interface identifier and the
// offset of that interface's pointer inside the object. A row with a null
// identifier ends the table.
struct InterfaceEntry {
  const IID* iid;
  ptrdiff_t offset;
};

// Offset of the `Interface` base inside `Class`, for InterfaceEntry.
template <class Class, class Interface>
ptrdiff_t InterfaceOffset() noexcept {
  // Any suitably aligned non-null address serves: only the difference is used.
  constexpr uintptr_t kProbe = 0x1000;
  return reinterpret_cast<char*>(static_cast<Interface*>(reinterpret_cast<Class*>(kProbe))) -
         reinterpret_cast<char*>(kProbe);
}

// Answers QueryInterface from a table: IID_IUnknown gives the first entry's
// pointer (the object's identity); any other identifier the first entry whose
// identifier matches in all 16 bytes. The AddRef goes through the pointer
// handed out, so a contained object counts on its outer object.
HRESULT QueryInterfaceByTable(void* object, const InterfaceEntry* table, REFIID iid, void** out) noexcept;

class CComSingleThreadModel {
 public:
  static LONG Increment(LONG* value) noexcept { return ++*value; }
  static LONG Decrement(LONG* value) noexcept { return --*value; }
};

class CComMultiThreadModel {
 public:
  static LONG Increment(LONG* value) noexcept { return InterlockedIncrement(value); }
  static LONG Decrement(LONG* value) noexcept { return InterlockedDecrement(value); }
};

class CComObjectRootBase {
 public:
  CComObjectRootBase() noexcept : m_refCount(0) {}

  // The outer object's IUnknown, for an object that lives inside an aggregate.
  ULONG OuterAddRef() noexcept { return m_outerUnknown->AddRef(); }
  ULONG OuterRelease() noexcept { return m_outerUnknown->Release(); }
  HRESULT OuterQueryInterface(REFIID iid, void** out) noexcept { return m_outerUnknown->QueryInterface(iid, out); }

 protected:
  // One word, two uses: the reference count of a standalone object, or the
  // outer IUnknown of an object contained in an aggregate.
  union {
    LONG m_refCount;
    IUnknown* m_outerUnknown;
  };
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
 public:
  ULONG InternalAddRef() noexcept { return static_cast<ULONG>(ThreadModel::Increment(&m_refCount)); }
  ULONG InternalRelease() noexcept { return static_cast<ULONG>(ThreadModel::Decrement(&m_refCount)); }
  LONG GetReferenceCount() const noexcept { return m_refCount; }
};

}  // namespace quorvel
