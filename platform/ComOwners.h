// Owners for COM references and BSTR strings: copying deleted, with
// Get/Reset/Release and Receive for out-parameters (Receive checks that the
// slot is empty, so a reference cannot leak behind it).
#pragma once

#include <cassert>
#include <utility>

#include "platform/WinApi.h"

namespace quorvel {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  explicit ComPtr(T* pointer) noexcept : m_pointer(pointer) {}  // takes over one reference
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : m_pointer(other.Release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const noexcept { return m_pointer; }
  T* operator->() const noexcept { return m_pointer; }
  explicit operator bool() const noexcept { return m_pointer != nullptr; }

  void Reset(T* pointer = nullptr) noexcept {
    T* old = std::exchange(m_pointer, pointer);
    if (old != nullptr) old->Release();
  }
  T* Release() noexcept { return std::exchange(m_pointer, nullptr); }
  T** Receive() noexcept {
    assert(m_pointer == nullptr);
    return &m_pointer;
  }
  void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

  template <class Other>
  HRESULT QueryInterface(REFIID iid, ComPtr<Other>& out) const noexcept {
    if (m_pointer == nullptr) return E_POINTER;
    return m_pointer->QueryInterface(iid, out.ReceiveVoid());
  }

 private:
  T* m_pointer = nullptr;
};

class ScopedBstr {
 public:
  ScopedBstr() noexcept = default;
  explicit ScopedBstr(const wchar_t* text) noexcept : m_text(SysAllocString(text)) {}
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr() { Reset(); }

  BSTR Get() const noexcept { return m_text; }
  UINT Length() const noexcept { return SysStringLen(m_text); }
  void Reset(BSTR text = nullptr) noexcept {
    BSTR old = std::exchange(m_text, text);
    if (old != nullptr) SysFreeString(old);
  }
  BSTR Release() noexcept { return std::exchange(m_text, nullptr); }
  BSTR* Receive() noexcept {
    assert(m_text == nullptr);
    return &m_text;
  }

 private:
  BSTR m_text = nullptr;
};

}  // namespace quorvel
