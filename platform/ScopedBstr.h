// CScopedBstr: owns one BSTR string, or nothing. Copying is deleted; the
// surface is that of every owner (platform/ScopedComPtr.h).
#pragma once

#include <utility>

#include "platform/WinApi.h"

namespace quorvel {

class CScopedBstr {
 public:
  CScopedBstr() noexcept = default;
  explicit CScopedBstr(const wchar_t* text) noexcept : m_text(SysAllocString(text)) {}
  CScopedBstr(const CScopedBstr&) = delete;
  CScopedBstr& operator=(const CScopedBstr&) = delete;
  ~CScopedBstr() { Reset(); }

  BSTR Get() const noexcept { return m_text; }
  UINT Length() const noexcept { return SysStringLen(m_text); }
  void Reset(BSTR text = nullptr) noexcept {
    BSTR old = std::exchange(m_text, text);
    if (old != nullptr) SysFreeString(old);
  }
  // Gives the string up to the caller without freeing it.
  BSTR Detach() noexcept { return std::exchange(m_text, nullptr); }
  // The slot for a call's out-parameter; anything held is freed first.
  BSTR* Receive() noexcept {
    Reset();
    return &m_text;
  }
  // A failed call hands over no string: the owner stays empty.
  HRESULT Received(HRESULT result) noexcept {
    if (FAILED(result)) m_text = nullptr;
    return result;
  }

 private:
  BSTR m_text = nullptr;
};

}  // namespace quorvel
