#include "tools/WalkPerEntrySelection.h"

#include "shellext/FolderListing.h"
#include "tools/ItemByName.h"

namespace quorvel {

void SelectMatchingFilesWalkPerEntry(HWND listView, const CWideString& folder, const CWideString& pattern) {
  LVITEMW clear = {};
  clear.stateMask = LVIS_SELECTED;
  clear.state = 0;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));

  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) SelectItemByName(listView, name);
}

}  // namespace quorvel
