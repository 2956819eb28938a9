// The system kind under which this build registers its type library: the
// 64-bit build's lands under "win64", the 32-bit build's under "win32".
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

#ifdef _WIN64
constexpr SYSKIND kTypeLibSysKind = SYS_WIN64;
constexpr wchar_t kTypeLibPlatformKey[] = L"win64";
#else
constexpr SYSKIND kTypeLibSysKind = SYS_WIN32;
constexpr wchar_t kTypeLibPlatformKey[] = L"win32";
#endif

}  // namespace quorvel
