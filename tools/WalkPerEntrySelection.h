// The folder scan with one walk of the list per listed entry: each entry's
// item is looked up with SelectItemByName (ItemByName.h), from the first item
// again, so the cost grows with entries x items. The handler does not use it;
// it is kept as the yardstick that the handler's one-walk scan is checked
// against (same selection, focus and state changes) and timed against.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"
#include "tools/ItemByName.h"

namespace quorvel {

// Clears the list's selection, then selects and focuses the item of every
// entry of `folder` (ending in a backslash) that matches `pattern`.
void SelectMatchingFilesWalkPerEntry(HWND listView, const CWideString& folder, const CWideString& pattern);

}  // namespace quorvel
