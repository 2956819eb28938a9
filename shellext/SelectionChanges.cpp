#include "shellext/SelectionChanges.h"

#include "shellext/RedrawSuspension.h"

namespace quorvel {

namespace {

void SetListItemState(HWND listView, int index, UINT state, UINT mask) {
  LVITEMW item = {};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// One SelectAndPositionItems for all the items; false when the view does not
// offer it (Wine's answers E_NOTIMPL) or an item's ID list is unknown.
bool SelectAllAtOnce(IFolderView* view, const std::vector<int>& items, const CViewItemIdLists* idLists) {
  if (idLists == nullptr) return false;
  std::vector<PCUITEMID_CHILD> children;
  children.reserve(items.size());
  for (const int index : items) {
    if (index < 0 || index >= idLists->GetCount() || idLists->Get(index) == nullptr) return false;
    children.push_back(idLists->Get(index));
  }
  return SUCCEEDED(
      view->SelectAndPositionItems(static_cast<UINT>(children.size()), children.data(), nullptr, SVSI_SELECT));
}

}  // namespace

void SelectListItems(HWND listView, const std::vector<int>& items) {
  const CScopedListRedrawOff redrawOff = SuspendListRedraw(listView);
  // Index -1 clears every item's selection at once; the focus stays.
  SetListItemState(listView, -1, 0, LVIS_SELECTED);
  for (const int index : items) SetListItemState(listView, index, LVIS_SELECTED, LVIS_SELECTED);
  if (items.empty()) return;
  if (items.size() > 1) SetListItemState(listView, items.front(), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SetListItemState(listView, items.back(), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void SelectViewItems(IFolderView* view, const std::vector<int>& items, const CViewItemIdLists* idLists) {
  const CScopedViewRedrawOff redrawOff(view);
  // Without SVSI_SELECT the flags deselect the named item as well as the
  // others: the whole selection goes at once and the focus stays. (A null
  // item to IShellView::SelectItem would say the same, but Wine's view
  // answers S_OK to it and changes nothing.)
  int count = 0;
  if (SUCCEEDED(view->ItemCount(SVGIO_ALLVIEW, &count)) && count > 0) view->SelectItem(0, SVSI_DESELECTOTHERS);
  if (items.empty()) return;
  if (!SelectAllAtOnce(view, items, idLists)) {
    for (const int index : items) view->SelectItem(index, SVSI_SELECT);
  }
  if (items.size() > 1) view->SelectItem(items.front(), SVSI_SELECT | SVSI_FOCUSED);
  view->SelectItem(items.back(), SVSI_SELECT | SVSI_FOCUSED);
}

}  // namespace quorvel
