#include "shellext/SelectAllCommand.h"

#include "base/Failure.h"
#include "platform/ScopedComPtr.h"
#include "shellext/MatchingSelection.h"
#include "shellext/ResourceText.h"
#include "shellext/SiteFolderView.h"
#include "shellext/WindowSearch.h"

namespace quorvel {

namespace {

constexpr char16_t kExtensionPlace[] = u"%1";

// Where a title format holds the extension's place, or -1.
int32_t ExtensionPlace(const CWideString& format) {
  for (int32_t index = 0; index + 1 < format.GetLength(); ++index) {
    if (format.GetAt(index) == kExtensionPlace[0] && format.GetAt(index + 1) == kExtensionPlace[1]) return index;
  }
  return -1;
}

// A translation without the extension's place would show no extension.
bool HasExtensionPlace(const CWideString& format) { return ExtensionPlace(format) >= 0; }

}  // namespace

CWideString SelectAllHelpText() { return LoadResourceText(kHelpTextId); }

CWideString SelectAllTitle(const SelectionProcessor& selection) {
  const CWideString format = LoadResourceText(kTitleFormatId, &HasExtensionPlace);
  const int32_t place = ExtensionPlace(format);
  if (place < 0) throw CFailure(E_UNEXPECTED);
  CWideString title = format.Mid(0, place);
  title += selection.GetExtension();
  title += format.Mid(place + 2, format.GetLength() - place - 2);
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
