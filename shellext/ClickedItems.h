// The clicked items an Explorer command is handed: an item array that, under
// Windows 11, lives in Explorer while the command runs in the COM surrogate,
// so that every call on the array, or on an item of it, crosses processes.
//
// The paths are read in a fixed number of calls, whatever the number of
// items: the array's count, the first item and its path, the array's data
// object (BindToHandler BHID_DataObject) and that object's file-drop list,
// which crosses whole, by value. An array that offers no data object, a first
// item outside the file system, or a list that does not name the items, are
// read item by item, as before.
//
// Nothing is kept from one call of the command to the next. The array cannot
// be held (a reference keeps Explorer's objects alive), and without one its
// identity cannot be proven: in the surrogate each call is handed a new proxy
// that is freed on return, so the next array, the same or another, may come
// at the same address, and checking that the items are the same costs as many
// calls as reading their paths again.
#pragma once

#include "platform/WinApi.h"
#include "shellext/SelectionProcessor.h"

namespace quorvel {

// Reads the paths of the clicked items into `selection` and analyses them.
// S_OK; E_INVALIDARG for no array, no items or more than 250 (found from the
// count alone, before any item is read), or no item with a file-system path;
// an item array's own failure as it comes.
HRESULT AnalyseClickedItems(IShellItemArray* items, SelectionProcessor* selection);

}  // namespace quorvel
