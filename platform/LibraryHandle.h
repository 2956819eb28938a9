// CLibraryHandle: owns a module handle from LoadLibrary(Ex)W and frees it
// (Windows only).
#pragma once

#include <cassert>

#include "platform/WinApi.h"

namespace quorvel {

class CLibraryHandle {
 public:
  CLibraryHandle() noexcept = default;
  explicit CLibraryHandle(HMODULE module) noexcept : m_module(module) {}
  ~CLibraryHandle() { Reset(); }
  CLibraryHandle(const CLibraryHandle&) = delete;
  CLibraryHandle& operator=(const CLibraryHandle&) = delete;

  HMODULE Get() const noexcept { return m_module; }
  bool IsValid() const noexcept { return m_module != nullptr; }

  // Frees the module held, keeping the thread's last error as it was.
  void Reset(HMODULE module = nullptr) noexcept {
    if (m_module != nullptr && m_module != module) {
      const DWORD lastError = GetLastError();
      FreeLibrary(m_module);
      SetLastError(lastError);
    }
    m_module = module;
  }

  HMODULE Release() noexcept {
    HMODULE module = m_module;
    m_module = nullptr;
    return module;
  }

  // The slot for an out-parameter; the owner must hold nothing.
  HMODULE* Receive() noexcept {
    assert(m_module == nullptr);
    Reset();
    return &m_module;
  }

 private:
  HMODULE m_module = nullptr;
};

}  // namespace quorvel
