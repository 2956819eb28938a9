#include "tools/FocusEachSelection.h"

#include <vector>

#include "shellext/FolderViewItems.h"
#include "shellext/ItemNameIndex.h"

namespace quorvel {

void SelectMatchingFilesFocusingEach(HWND listView, const CWideString& folder, const CWideString& pattern) {
  LVITEMW clear = {};
  clear.stateMask = LVIS_SELECTED;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  const CItemNameIndex items(listView);
  for (const int index : ItemsOfMatchingEntries(items, folder, pattern)) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
}

bool SelectMatchingViewItemsFocusingEach(IFolderView* view, const CWideString& folder, const CWideString& pattern) {
  const CShownFolder shown(view);
  const ViewedFolder viewed = shown.Compare(folder);
  if (viewed == ViewedFolder::kOther) return false;
  CItemNameIndex items;
  ReadViewItemsOfFolder(view, shown, folder, &items);
  if (viewed == ViewedFolder::kNotFileSystem && items.IsEmpty()) return false;
  int count = 0;
  if (SUCCEEDED(view->ItemCount(SVGIO_ALLVIEW, &count)) && count > 0) view->SelectItem(0, SVSI_DESELECTOTHERS);
  for (const int index : ItemsOfMatchingEntries(items, folder, pattern)) {
    view->SelectItem(index, SVSI_SELECT | SVSI_FOCUSED);
  }
  return true;
}

}  // namespace quorvel
