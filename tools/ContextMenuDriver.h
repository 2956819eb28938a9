// Drives a context-menu handler through one right-click the way the shell's
// file manager does: Initialize with the data object of the clicked entries,
// QueryContextMenu on a real popup menu, GetCommandString for both help-text
// forms, and InvokeCommand of the handler's item with the folder window.
#pragma once

#include <functional>
#include <string>

#include "platform/WinApi.h"
#include "tools/FolderWindow.h"

namespace quorvel {

struct RightClickReport {
  HRESULT initialize = E_FAIL;
  HRESULT queryContextMenu = E_FAIL;
  int menuItemCount = 0;       // items of the popup menu afterwards
  std::wstring menuText;       // the inserted item's text, read back with GetMenuStringW
  UINT menuItemId = 0;         // the inserted item's command identifier
  int bitmapWidth = 0;         // the item's check-mark bitmap, 0 x 0 when none
  int bitmapHeight = 0;
  HRESULT helpTextW = E_FAIL;
  std::wstring helpW;
  HRESULT helpTextA = E_FAIL;
  std::string helpA;           // in the thread's ANSI code page
  HRESULT invokeCommand = E_FAIL;
};

// The first command identifier offered to the handler, and the shell's own
// item the popup menu holds before the handler's is inserted in front of it.
constexpr UINT kFirstCommandId = 1;
constexpr UINT kLastCommandId = 0x6FFF;
constexpr UINT kShellItemId = 0x7000;

// Runs the right-click. S_OK when every step succeeded; otherwise the failing
// step's result, with a message in *error. The report holds what each step
// gave, as far as it got. `showMenu`, when given, gets the filled popup menu
// before the item is chosen (to show it); its failure ends the right-click.
HRESULT DriveRightClick(IShellExtInit* handler, CFolderWindow& window, IDataObject* dataObject,
                        RightClickReport* report, std::wstring* error,
                        const std::function<HRESULT(HMENU menu, std::wstring* error)>& showMenu = {});

}  // namespace quorvel
