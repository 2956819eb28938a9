// Carrying out the command on a folder view: the item of every entry of a
// folder that matches a pattern ("*" + extension) becomes the view's whole
// selection, and the item of the last such entry in listing order takes the
// focus. The view is read once for all the entries; the states change with
// its redrawing suspended and the focus moved once (SelectionChanges.h).
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// On the list control of a folder window (the folder ends in a backslash).
void SelectMatchingFiles(HWND listView, const CWideString& folder, const CWideString& pattern);

// On the shell's view object: if the view shows `folder` or holds items of
// it, selects as above and answers true; items of other folders only lose
// their selection. Answers false, with nothing changed, for a view that
// shows neither.
bool SelectMatchingViewItems(IFolderView* view, const CWideString& folder, const CWideString& pattern);

}  // namespace quorvel
