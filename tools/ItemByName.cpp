#include "tools/ItemByName.h"

#include "shellext/ItemNameIndex.h"

namespace quorvel {

int FindItemByName(HWND listView, const CWideString& fileName) {
  const int count = GetItemCount(listView);
  CWideString shown;
  for (int index = 0; index < count; ++index) {
    if (ReadItemFileName(listView, index, &shown) && shown == fileName) return index;
  }
  return -1;
}

void SelectItemByName(HWND listView, const CWideString& fileName) {
  const int index = FindItemByName(listView, fileName);
  if (index == -1) return;
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace quorvel
