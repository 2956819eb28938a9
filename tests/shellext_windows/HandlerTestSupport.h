// Making and calling handler objects in tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "shellext/SelecterMenu.h"

namespace quorvel {

inline CScopedComPtr<IShellExtInit> NewHandler() {
  CScopedComPtr<IShellExtInit> handler;
  EXPECT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
  return handler;
}

inline CScopedComPtr<IContextMenu> ContextMenuOf(IShellExtInit* handler) {
  CScopedComPtr<IContextMenu> contextMenu;
  EXPECT_EQ(S_OK, handler->QueryInterface(IID_IContextMenu, contextMenu.ReceiveVoid()));
  return contextMenu;
}

// The text of the item QueryContextMenu puts into an empty popup menu.
inline std::wstring MenuTextOf(IShellExtInit* handler) {
  CScopedMenu menu(CreatePopupMenu());
  EXPECT_EQ(1, ContextMenuOf(handler)->QueryContextMenu(menu.Get(), 0, 1, 100, CMF_NORMAL));
  wchar_t text[256] = {};
  GetMenuStringW(menu.Get(), 0, text, 256, MF_BYPOSITION);
  return text;
}

// Chooses the handler's item (command offset 0) in the folder window `window`.
inline HRESULT InvokeItem(IShellExtInit* handler, HWND window, LPCSTR verb = MAKEINTRESOURCEA(0)) {
  CMINVOKECOMMANDINFO invoke = {};
  invoke.cbSize = sizeof(invoke);
  invoke.hwnd = window;
  invoke.lpVerb = verb;
  invoke.nShow = SW_SHOWNORMAL;
  return ContextMenuOf(handler)->InvokeCommand(&invoke);
}

}  // namespace quorvel
