// Owners that suspend a view's redrawing while they live and, when they end
// on whatever path, restore it and have the view repainted once.
#pragma once

#include "platform/ScopedComPtr.h"
#include "platform/ScopedGeneric.h"
#include "platform/WinApi.h"

namespace quorvel {

// A list control whose redrawing is off (WM_SETREDRAW FALSE).
struct ListRedrawTraits {
  using Handle = HWND;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  // The list does not repaint by itself once redrawing is back on.
  static void Close(Handle handle) noexcept {
    SendMessageW(handle, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
};
using CScopedListRedrawOff = CScopedGeneric<ListRedrawTraits>;

// Turns the list's redrawing off until the owner ends.
CScopedListRedrawOff SuspendListRedraw(HWND listView);

// The shell's view object with its redrawing off (IFolderView2::SetRedraw),
// where the view offers that; otherwise the owner does nothing.
class CScopedViewRedrawOff {
 public:
  explicit CScopedViewRedrawOff(IFolderView* view);
  CScopedViewRedrawOff(const CScopedViewRedrawOff&) = delete;
  CScopedViewRedrawOff& operator=(const CScopedViewRedrawOff&) = delete;
  ~CScopedViewRedrawOff();

 private:
  CScopedComPtr<IFolderView2> m_view;  // held only while its redrawing is off
};

}  // namespace quorvel
