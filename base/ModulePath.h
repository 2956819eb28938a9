// The path of a loaded module's file, as the registrar, the type-library
// steps and the satellite search read it (Windows only).
#pragma once

#include "base/ResultCode.h"
#include "platform/WinApi.h"

namespace quorvel {

// The full path of `module`'s file. S_OK; the last error when it cannot be
// read; ERROR_INSUFFICIENT_BUFFER as a result code (0x8007007A) when the path
// fills the buffer, since it may then have been cut.
inline HRESULT GetModulePath(HMODULE module, wchar_t (&path)[MAX_PATH]) noexcept {
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0) return ResultFromLastError();
  if (length >= MAX_PATH) return ResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

// Where the extension of the file name at the end of `path` begins: its last
// '.' after the last '\' or '/'; the terminating zero when it has none.
inline wchar_t* FindFileExtension(wchar_t* path) noexcept {
  wchar_t* extension = nullptr;
  wchar_t* end = path;
  for (; *end != 0; ++end) {
    if (*end == L'.') extension = end;
    if (*end == L'\\' || *end == L'/') extension = nullptr;
  }
  return extension != nullptr ? extension : end;
}

}  // namespace quorvel
