// Looking up one file's item in a list control from the first item again, and
// selecting it: the walk per entry (WalkPerEntrySelection.h) is built on these,
// and tests check a list's items with them. The handler reads the list once
// instead (shellext/ItemNameIndex.h).
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// The index of the first list item whose identifier list names a file called
// exactly `fileName`, or -1.
int FindItemByName(HWND listView, const CWideString& fileName);

// Selects and focuses the item that shows `fileName`, if there is one.
void SelectItemByName(HWND listView, const CWideString& fileName);

}  // namespace quorvel
