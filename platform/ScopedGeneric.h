// CScopedGeneric<Traits>: the owner of one handle of a kind that Traits
// describes (how to close it, which values mean "none"). Copying is deleted;
// moving hands the handle over; the surface is that of every owner
// (platform/ScopedComPtr.h). Closing keeps the thread's last error, so that
// an owner going out of scope after a failed call does not hide its cause.
//
// Traits provides:
//   using Handle = ...;
//   static Handle Null() noexcept;
//   static bool IsValid(Handle) noexcept;
//   static void Close(Handle) noexcept;
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

template <class Traits>
class CScopedGeneric {
 public:
  using Handle = typename Traits::Handle;

  CScopedGeneric() noexcept : m_handle(Traits::Null()) {}
  explicit CScopedGeneric(Handle handle) noexcept : m_handle(handle) {}
  CScopedGeneric(const CScopedGeneric&) = delete;
  CScopedGeneric& operator=(const CScopedGeneric&) = delete;
  CScopedGeneric(CScopedGeneric&& other) noexcept : m_handle(other.Detach()) {}
  CScopedGeneric& operator=(CScopedGeneric&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ~CScopedGeneric() { Reset(); }

  bool IsValid() const noexcept { return Traits::IsValid(m_handle); }
  Handle Get() const noexcept { return m_handle; }

  // Closes the held handle (if valid) and holds `handle` instead.
  void Reset(Handle handle = Traits::Null()) noexcept {
    if (handle == m_handle) return;
    const Handle old = m_handle;
    m_handle = handle;
    if (Traits::IsValid(old)) {
      const DWORD lastError = GetLastError();
      Traits::Close(old);
      SetLastError(lastError);
    }
  }

  // Gives the handle up without closing it.
  Handle Detach() noexcept {
    const Handle handle = m_handle;
    m_handle = Traits::Null();
    return handle;
  }

 private:
  Handle m_handle;
};

}  // namespace quorvel
