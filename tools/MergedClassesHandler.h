// Creating the handler the way the shell finds it through the merged view
// of HKEY_CLASSES_ROOT on Windows: each key is looked up in the current
// user's Software\Classes first and in the machine's Software\Classes
// after, the user's winning. Wine 8's HKEY_CLASSES_ROOT and its COM runtime
// read the machine's classes alone, so a registration for one user is
// invisible to CoCreateInstance there; this lookup lets a host use it as
// Windows would.
#pragma once

#include <string>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

struct MergedClassesHandler {
  std::wstring handlerFrom;  // "user" or "machine": where the handler key was found
  std::wstring serverFrom;   // where the class's InprocServer32 was found
  std::wstring approvedBy;   // "user", "machine" or "none": the shell's approval list holding the class
};

// Follows *\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu to its class,
// the class to its InprocServer32, loads that library into `library` and
// asks its class factory for the object. `error` says which step failed.
HRESULT CreateHandlerThroughMergedClasses(REFIID iid, void** out, CLibraryHandle* library,
                                          MergedClassesHandler* found, std::wstring* error);

}  // namespace quorvel
