// The folder scan's former way of changing the states, on both routes: the
// selection cleared, then each matching item selected and focused in turn, in
// listing order, with the view redrawing as it goes. Every focus change
// scrolls the list to the item and repaints it. The handler no longer does
// this; it is kept as the yardstick that the handler's way is checked against
// (same selection, focus and scroll position) and timed against.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// On the list control: clears its selection, then selects and focuses the
// item of every entry of `folder` (ending in a backslash) that matches
// `pattern`.
void SelectMatchingFilesFocusingEach(HWND listView, const CWideString& folder, const CWideString& pattern);

// On the shell's view object, for a view that shows `folder` or items of it
// (false, with nothing changed, otherwise), with IFolderView::SelectItem.
bool SelectMatchingViewItemsFocusingEach(IFolderView* view, const CWideString& folder, const CWideString& pattern);

}  // namespace quorvel
