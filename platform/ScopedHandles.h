// Owners of the plain handles the system and its tools hold: a directory
// listing, a file, a loaded library, a bitmap, a memory device context, a
// window, a menu.
#pragma once

#include "platform/ScopedGeneric.h"
#include "platform/WinApi.h"

namespace quorvel {

// FindFirstFileW answers INVALID_HANDLE_VALUE on failure; null is never a
// listing either.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { FindClose(handle); }
};
using CScopedFindHandle = CScopedGeneric<FindHandleTraits>;

// CreateFileW answers INVALID_HANDLE_VALUE on failure, other calls null.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { CloseHandle(handle); }
};
using CScopedFileHandle = CScopedGeneric<FileHandleTraits>;

// A module from LoadLibraryW or LoadLibraryExW.
struct LibraryTraits {
  using Handle = HMODULE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { FreeLibrary(handle); }
};
using CLibraryHandle = CScopedGeneric<LibraryTraits>;

struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { DeleteObject(handle); }
};
using CScopedBitmap = CScopedGeneric<BitmapTraits>;

// A device context made by CreateCompatibleDC.
struct MemoryDCTraits {
  using Handle = HDC;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { DeleteDC(handle); }
};
using CScopedMemoryDC = CScopedGeneric<MemoryDCTraits>;

struct WindowTraits {
  using Handle = HWND;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { DestroyWindow(handle); }
};
using CScopedWindow = CScopedGeneric<WindowTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { DestroyMenu(handle); }
};
using CScopedMenu = CScopedGeneric<MenuTraits>;

}  // namespace quorvel
