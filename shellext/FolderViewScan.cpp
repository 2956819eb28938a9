// Carrying out the command on the shell's view object: the folder's matching
// entries become the view's selection.
#include "shellext/FolderListing.h"
#include "shellext/FolderViewItems.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/SelecterMenu.h"

namespace quorvel {

namespace {

// One operation clears the whole selection; the focus stays where it is.
// Without SVSI_SELECT the flags deselect the named item as well as the
// others. (IShellView::SelectItem with no item would say the same, but Wine's
// view answers S_OK to it and changes nothing.)
void ClearSelection(IFolderView* view) {
  int count = 0;
  if (SUCCEEDED(view->ItemCount(SVGIO_ALLVIEW, &count)) && count > 0) view->SelectItem(0, SVSI_DESELECTOTHERS);
}

}  // namespace

bool CSelecterMenu::SelectMatchingViewItems(IFolderView* view, const CWideString& folder, const CWideString& pattern) {
  const ViewedFolder viewed = CompareViewedFolder(view, folder);
  if (viewed == ViewedFolder::kOther) return false;
  // The view is read once for all entries, as the list control is. Only items
  // of the folder count: search results and libraries show several folders.
  CItemNameIndex items;
  ReadViewItemsOfFolder(view, folder, &items);
  if (viewed == ViewedFolder::kNotFileSystem && items.IsEmpty()) return false;

  ClearSelection(view);
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
    const int index = items.Find(name);
    if (index != -1) view->SelectItem(index, SVSI_SELECT | SVSI_FOCUSED);
  }
  return true;
}

}  // namespace quorvel
