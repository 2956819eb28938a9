#include "shellext/SelectAllCommand.h"

#include "platform/ScopedComPtr.h"
#include "shellext/MatchingSelection.h"
#include "shellext/SiteFolderView.h"
#include "shellext/WindowSearch.h"

namespace quorvel {

namespace {

constexpr char16_t kTitlePrefix[] = u"Select All ";
constexpr char16_t kTitleSuffix[] = u" Files";

}  // namespace

const char16_t kSelectAllHelpText[] = u"Click to select all files with this extension in the current folder";

CWideString SelectAllTitle(const SelectionProcessor& selection) {
  CWideString title(kTitlePrefix);
  title += selection.GetExtension();
  title += kTitleSuffix;
  return title;
}

bool SelectAllApplies(const SelectionProcessor& selection) {
  return selection.GetExtension().GetLength() > 1 && !selection.GetFolder().IsEmpty();
}

void SelectAllInFolderView(const SelectionProcessor& selection, IUnknown* site, HWND window) {
  if (!SelectAllApplies(selection)) return;
  const CWideString folder = selection.GetFolder();
  CWideString pattern(u"*");
  pattern += selection.GetExtension();

  // A view that shows another folder is passed over, and so is any step that
  // fails.
  using Route = CScopedComPtr<IFolderView> (*)(IUnknown*);
  for (const Route route : {&FolderViewOfViewService, &FolderViewOfTopLevelBrowser}) {
    const CScopedComPtr<IFolderView> view = route(site);
    if (view && SelectMatchingViewItems(view.Get(), folder, pattern)) return;
  }
  const HWND listView = FindListView(window);
  if (listView != nullptr) SelectMatchingFiles(listView, folder, pattern);
}

}  // namespace quorvel
