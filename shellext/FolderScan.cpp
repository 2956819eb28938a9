// Carrying out the command: the folder's matching entries become the list
// control's selection.
#include "shellext/ItemNameIndex.h"
#include "shellext/SelecterMenu.h"
#include "shellext/SelectionChanges.h"

namespace quorvel {

namespace {

void SelectAndFocusItem(HWND listView, int index) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void CSelecterMenu::SelectMatchingFiles(HWND listView, const CWideString& folder, const CWideString& pattern) {
  // The list is read once for all entries: looking each one up from the
  // first item again would cost entries x items, minutes for a folder of
  // thousands of photos, with the folder window frozen. The list does not
  // change meanwhile: this runs on the thread that owns it.
  const CItemNameIndex items(listView);
  SelectListItems(listView, ItemsOfMatchingEntries(items, folder, pattern));
}

void CSelecterMenu::SelectItemByName(HWND listView, const CWideString& fileName) {
  const int index = FindItemByName(listView, fileName);
  if (index != -1) SelectAndFocusItem(listView, index);
}

}  // namespace quorvel
