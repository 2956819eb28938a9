// Drives a context-menu handler through one right-click the way the shell's
// file manager does: Initialize with the data object of the clicked entries,
// SetSite with the folder window's site, QueryContextMenu on a real popup
// menu, GetCommandString for both help-text forms, InvokeCommand of the
// handler's item with the folder window, and SetSite(NULL) afterwards.
#pragma once

#include <functional>
#include <string>

#include "platform/WinApi.h"
#include "tools/FolderViewSite.h"
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
  // How the handler could reach the view: "view" (the site's SID_SFolderView),
  // "browser" (its SID_STopLevelBrowser; asked only when the view service gave
  // no view of the folder), "window" (no service handed out, the window
  // passed) or "none".
  std::wstring viewRoute;
};

// How the shell side is played.
struct RightClickOptions {
  bool giveSite = true;  // SetSite after Initialize, as Explorer does
  CFolderViewSite::Services services = CFolderViewSite::Services::kViewAndBrowser;
  IExplorerBrowser* siteBrowser = nullptr;  // what the site leads to; null: the window's own browser
  bool passWindow = true;                   // the folder window in CMINVOKECOMMANDINFO::hwnd
  // When given, gets the filled popup menu before the item is chosen (to show
  // it); its failure ends the right-click.
  std::function<HRESULT(HMENU menu, std::wstring* error)> showMenu;
};

// The first command identifier offered to the handler, and the shell's own
// item the popup menu holds before the handler's is inserted in front of it.
constexpr UINT kFirstCommandId = 1;
constexpr UINT kLastCommandId = 0x6FFF;
constexpr UINT kShellItemId = 0x7000;

// Runs the right-click. S_OK when every step succeeded; otherwise the failing
// step's result, with a message in *error. The report holds what each step
// gave, as far as it got.
HRESULT DriveRightClick(IShellExtInit* handler, CFolderWindow& window, IDataObject* dataObject,
                        const RightClickOptions& options, RightClickReport* report, std::wstring* error);
// The same as Explorer plays it: the default options.
HRESULT DriveRightClick(IShellExtInit* handler, CFolderWindow& window, IDataObject* dataObject,
                        RightClickReport* report, std::wstring* error);

}  // namespace quorvel
