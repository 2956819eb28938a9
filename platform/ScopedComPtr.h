// CScopedComPtr<T>: holds one reference to a COM object, or nothing.
// Copying is deleted; moving hands the reference over.
//
// Like every owner of the system: Get, Reset, Detach (give the reference up
// without releasing it), and Receive for a call's out-parameter, whose result
// goes through Received so that a failed call leaves the owner empty.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

template <class T>
class CScopedComPtr {
 public:
  CScopedComPtr() noexcept = default;
  CScopedComPtr(const CScopedComPtr&) = delete;
  CScopedComPtr& operator=(const CScopedComPtr&) = delete;
  CScopedComPtr(CScopedComPtr&& other) noexcept : m_object(other.Detach()) {}
  CScopedComPtr& operator=(CScopedComPtr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ~CScopedComPtr() { Reset(); }

  T* Get() const noexcept { return m_object; }
  T* operator->() const noexcept { return m_object; }
  explicit operator bool() const noexcept { return m_object != nullptr; }

  // Releases the held reference and takes over `object`'s reference as it is
  // (no AddRef): for pointers that arrive already counted.
  void Reset(T* object = nullptr) noexcept {
    T* old = m_object;
    m_object = object;
    if (old != nullptr) old->Release();
  }

  // Holds a new reference to `object` (AddRef), releasing the old one after.
  void Hold(T* object) noexcept {
    if (object != nullptr) object->AddRef();
    Reset(object);
  }

  // Gives the reference up to the caller without releasing it.
  T* Detach() noexcept {
    T* object = m_object;
    m_object = nullptr;
    return object;
  }

  // The slot for a call's out-parameter. Anything held is released first, so
  // that a reference can never be overwritten and leak.
  T** Receive() noexcept {
    Reset();
    return &m_object;
  }
  void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

  // Takes the result of the call that filled Receive's slot and hands it
  // back. A failed call hands over no reference: whatever it may have
  // written is given up unreleased, and the owner stays empty.
  HRESULT Received(HRESULT result) noexcept {
    if (FAILED(result)) m_object = nullptr;
    return result;
  }

 private:
  T* m_object = nullptr;
};

}  // namespace quorvel
