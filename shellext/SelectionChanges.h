// The state changes that make a set of items a view's selection: the old
// selection cleared in one operation, every item selected without moving the
// focus, and the focus moved once to the last, all with the view's redrawing
// suspended and one repaint afterwards.
//
// Giving each item the focus in turn would leave the same selection, but every
// focus change scrolls the list to that item and repaints it: a visible folder
// window would freeze for a minute over ten thousand items. The focus goes to
// the first item before the last, so that the list scrolls exactly as it would
// have scrolled item by item whenever the items come in view order.
#pragma once

#include <vector>

#include "platform/WinApi.h"
#include "shellext/FolderViewItems.h"

namespace quorvel {

// On the list control, by LVM_SETITEMSTATE, inside WM_SETREDRAW.
void SelectListItems(HWND listView, const std::vector<int>& items);

// On the shell's view object, by IFolderView::SelectItem, inside
// IFolderView2::SetRedraw where the view offers it. Given the view's items'
// ID lists, all the items are selected in one IFolderView::SelectAndPositionItems
// where the view offers it: with the view in another process that is one
// call, not one per item.
void SelectViewItems(IFolderView* view, const std::vector<int>& items, const CViewItemIdLists* idLists = nullptr);

}  // namespace quorvel
