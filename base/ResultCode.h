#pragma once

#include <cstdint>

#include "platform/ResultTypes.h"

namespace quorvel {

// A positive Win32 error code c becomes 0x80070000 | (c & 0xFFFF);
// zero and negative values pass unchanged.
constexpr HRESULT ResultFromWin32(long code) noexcept {
  return code > 0 ? static_cast<HRESULT>((static_cast<uint32_t>(code) & 0xFFFFu) | 0x80070000u)
                  : static_cast<HRESULT>(code);
}

#ifdef _WIN32
// The last error of a failed platform call as a result code. A failed call that
// left no error behind still reports a failure.
inline HRESULT ResultFromLastError() noexcept {
  const DWORD error = GetLastError();
  return error != 0 ? ResultFromWin32(static_cast<long>(error)) : E_FAIL;
}
#endif

}  // namespace quorvel
