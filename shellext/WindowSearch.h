// Finding the folder view's list control among a window's descendants, by
// window class: the way to the view where a host offers no site services.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// The list control of the folder view at or below `start`, or null.
HWND FindListView(HWND start);

// The first window at or below `window` (depth first, topmost child first)
// whose class name equals `className`, ASCII letter case ignored; or null.
HWND FindWindowByClass(HWND window, const CWideString& className);

}  // namespace quorvel
