// The one header through which the Windows build reaches the Windows API.
// Windows only: the portable core includes platform/ResultTypes.h instead.
#pragma once

#ifndef _WIN32
#error "platform/WinApi.h is for the Windows build only"
#endif

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <commctrl.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is shared between wchar_t and char16_t");

// Portable text is char16_t; the Win32 API takes wchar_t of the same size and representation.
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
