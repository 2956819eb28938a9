// Owners of the plain handles the system and its tools hold: a directory
// listing, a bitmap, a window, a menu.
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

struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { DeleteObject(handle); }
};
using CScopedBitmap = CScopedGeneric<BitmapTraits>;

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
