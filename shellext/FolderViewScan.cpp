// Carrying out the command on the shell's view object: the folder's matching
// entries become the view's selection.
#include "shellext/FolderViewItems.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/SelecterMenu.h"
#include "shellext/SelectionChanges.h"

namespace quorvel {

bool CSelecterMenu::SelectMatchingViewItems(IFolderView* view, const CWideString& folder, const CWideString& pattern) {
  const ViewedFolder viewed = CompareViewedFolder(view, folder);
  if (viewed == ViewedFolder::kOther) return false;
  // The view is read once for all entries, as the list control is. Only items
  // of the folder count: search results and libraries show several folders.
  CItemNameIndex items;
  ReadViewItemsOfFolder(view, folder, &items);
  if (viewed == ViewedFolder::kNotFileSystem && items.IsEmpty()) return false;

  SelectViewItems(view, ItemsOfMatchingEntries(items, folder, pattern));
  return true;
}

}  // namespace quorvel
