// The file-drop list (CF_HDROP) of a data object, the form in which the shell
// hands over the paths of clicked files: the classic handler reads it from
// the data object it is given, the Explorer command from the one its item
// array hands out. A data object in another process sends the whole list in
// one call.
#pragma once

#include "platform/WinApi.h"
#include "shellext/SelectionProcessor.h"

namespace quorvel {

// Reads the paths of the drop list `data` offers (CF_HDROP in global memory)
// into `selection`, cleared first. S_OK for 1 to `most` paths; E_INVALIDARG,
// with `selection` unchanged, where there is no such list or it holds no path
// or more than `most`.
HRESULT ReadDropFileList(IDataObject* data, UINT most, SelectionProcessor* selection);

}  // namespace quorvel
