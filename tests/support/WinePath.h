// A file of the build as Windows programs in the Wine prefix name it: Z: is
// the root of the Linux file system.
#pragma once

#include <string>

namespace quorvel {

inline std::wstring WinePath(const char* linuxPath) {
  std::wstring path = L"Z:";
  for (const char* p = linuxPath; *p != 0; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

}  // namespace quorvel
