// "Select All <ext> Files": the work behind both ways into the command, the
// context-menu handler (SelecterMenu.h) and the Explorer command of Windows
// 11's first-level menu (SelecterCommand.h). Each of them only turns its
// interface's input into the clicked paths of a SelectionProcessor and hands
// back the results; choosing the extension, finding the folder view through
// the site, listing the folder, matching and selecting happen here.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"
#include "shellext/SelectionProcessor.h"

namespace quorvel {

// The most clicked files the command takes; with more, neither way offers it.
constexpr UINT kMaxClickedFiles = 250;

// The command's help text (the context menu's status text, the Explorer
// command's tool tip), in the language of the resource instance.
CWideString SelectAllHelpText();

// The command's title for the analysed selection, "Select All .txt Files",
// in the language of the resource instance: its format with the extension
// in the place of %1.
CWideString SelectAllTitle(const SelectionProcessor& selection);

// Whether the command can change anything for the analysed selection: its
// extension is more than a dot and its folder is known. (With an empty folder
// the pattern would name the root of the current drive, not the folder.)
bool SelectAllApplies(const SelectionProcessor& selection);

// Carries out the command for the analysed selection. Since Windows 7
// Explorer's file list is no list control: the folder view that the site
// leads to comes first (its SID_SFolderView service, else its top-level
// browser's active view), used only if it shows the selection's folder or
// items of it; the list control below `window` (null: none) comes last.
// Nothing changes when no view is found.
void SelectAllInFolderView(const SelectionProcessor& selection, IUnknown* site, HWND window);

}  // namespace quorvel
