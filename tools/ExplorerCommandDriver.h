// Drives an Explorer command through one right-click the way Windows 11's
// first-level context menu does: SetSite with the folder window's site,
// GetState, GetTitle, GetToolTip, GetIcon, GetCanonicalName and GetFlags
// while the menu opens, Invoke with the clicked items when the command is
// chosen (only if GetState showed it), and SetSite(NULL) afterwards. The
// command may live in this process or in the COM surrogate.
#pragma once

#include <string>
#include <vector>

#include "platform/WinApi.h"
#include "tools/FolderViewSite.h"
#include "tools/FolderWindow.h"
#include "tools/ItemArrayWithDataObject.h"

namespace quorvel {

struct ExplorerCommandReport {
  HRESULT getState = E_FAIL;
  EXPCMDSTATE state = ECS_HIDDEN;
  HRESULT getTitle = E_FAIL;
  std::wstring title;
  HRESULT getToolTip = E_FAIL;
  std::wstring toolTip;
  HRESULT getIcon = E_FAIL;
  std::wstring icon;  // "<module path>,-<resource id>"
  HRESULT getCanonicalName = E_FAIL;
  GUID canonicalName = {};
  HRESULT getFlags = E_FAIL;
  EXPCMDFLAGS flags = 0;
  HRESULT invoke = E_FAIL;  // stays E_FAIL when the command was hidden
  // How the command could reach the view: "view", "browser" or "none", as
  // RightClickReport::viewRoute (there is no window route).
  std::wstring viewRoute;
};

struct ExplorerCommandOptions {
  bool giveSite = true;
  CFolderViewSite::Services services = CFolderViewSite::Services::kViewAndBrowser;
  IExplorerBrowser* siteBrowser = nullptr;  // what the site leads to; null: the window's own browser
  CFolderViewSite* site = nullptr;          // the site to give; null: a new one as above
  bool choose = true;                       // Invoke when the command shows
};

// The shell item array of the window's entries `names`, as the shell hands
// it to a command.
HRESULT CreateItemArray(CFolderWindow& window, const std::vector<std::wstring>& names, IShellItemArray** out,
                        std::wstring* error);

// The same items in an array that also hands out the shell's data object for
// them, as Windows' array does and Wine's does not, and counts the calls on it.
HRESULT CreateItemArrayWithDataObject(CFolderWindow& window, const std::vector<std::wstring>& names,
                                      CItemArrayWithDataObject** out, std::wstring* error);

// Runs the right-click. S_OK when every step succeeded; otherwise the failing
// step's result, with a message in *error. A hidden command is no failure.
HRESULT DriveExplorerCommand(IExplorerCommand* command, CFolderWindow& window, IShellItemArray* items,
                             const ExplorerCommandOptions& options, ExplorerCommandReport* report,
                             std::wstring* error);

}  // namespace quorvel
