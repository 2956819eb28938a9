// A picture of a context menu as the user sees it: the popup menu opened at a
// point of the folder window, captured from the screen together with the
// window, and closed again without choosing anything.
#pragma once

#include <string>

#include "platform/WinApi.h"

namespace quorvel {

// Opens `menu` (owned by the window `owner`, which must belong to the calling
// thread) at the screen point `at`, saves a 24-bit .bmp of the screen area
// that holds both the owner and the open menu to `path`, and closes the menu.
// On failure *error says why.
HRESULT SaveOpenMenuPicture(HWND owner, HMENU menu, POINT at, const std::wstring& path, std::wstring* error);

}  // namespace quorvel
