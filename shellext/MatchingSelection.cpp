#include "shellext/MatchingSelection.h"

#include "shellext/FolderViewItems.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/SelectionChanges.h"

namespace quorvel {

void SelectMatchingFiles(HWND listView, const CWideString& folder, const CWideString& pattern) {
  // The list is read once for all entries: looking each one up from the
  // first item again would cost entries x items, minutes for a folder of
  // thousands of photos, with the folder window frozen. The list does not
  // change meanwhile: this runs on the thread that owns it.
  const CItemNameIndex items(listView);
  SelectListItems(listView, ItemsOfMatchingEntries(items, folder, pattern));
}

bool SelectMatchingViewItems(IFolderView* view, const CWideString& folder, const CWideString& pattern) {
  const CShownFolder shown(view);
  const ViewedFolder viewed = shown.Compare(folder);
  if (viewed == ViewedFolder::kOther) return false;
  // The view is read once for all entries, as the list control is. Only items
  // of the folder count: search results and libraries show several folders.
  CItemNameIndex items;
  CViewItemIdLists idLists;
  ReadViewItemsOfFolder(view, shown, folder, &items, &idLists);
  if (viewed == ViewedFolder::kNotFileSystem && items.IsEmpty()) return false;

  SelectViewItems(view, ItemsOfMatchingEntries(items, folder, pattern), &idLists);
  return true;
}

}  // namespace quorvel
