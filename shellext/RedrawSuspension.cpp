#include "shellext/RedrawSuspension.h"

#include <utility>

namespace quorvel {

CScopedListRedrawOff SuspendListRedraw(HWND listView) {
  if (listView == nullptr) return CScopedListRedrawOff();
  SendMessageW(listView, WM_SETREDRAW, FALSE, 0);
  return CScopedListRedrawOff(listView);
}

CScopedViewRedrawOff::CScopedViewRedrawOff(IFolderView* view) {
  CScopedComPtr<IFolderView2> view2;
  if (FAILED(view2.Received(view->QueryInterface(IID_IFolderView2, view2.ReceiveVoid()))) || !view2) return;
  if (SUCCEEDED(view2->SetRedraw(FALSE))) m_view = std::move(view2);
}

CScopedViewRedrawOff::~CScopedViewRedrawOff() {
  if (!m_view) return;
  m_view->SetRedraw(TRUE);
  // The view's window and the list inside it do not repaint by themselves.
  CScopedComPtr<IOleWindow> window;
  HWND handle = nullptr;
  if (SUCCEEDED(window.Received(m_view->QueryInterface(IID_IOleWindow, window.ReceiveVoid()))) && window &&
      SUCCEEDED(window->GetWindow(&handle)) && handle != nullptr) {
    RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

}  // namespace quorvel
