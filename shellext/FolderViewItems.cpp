#include "shellext/FolderViewItems.h"

#include <utility>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "platform/TextServices.h"

namespace quorvel {

namespace {

bool EqualIgnoringCase(const wchar_t* text, int32_t length, const CWideString& other) {
  return length == other.GetLength() && EqualPathText(AsUtf16(text), other.GetText(), length);
}

}  // namespace

ViewedFolder CompareViewedFolder(IFolderView* view, const CWideString& folder) {
  CScopedComPtr<IPersistFolder2> shownFolder;
  if (FAILED(shownFolder.Received(view->GetFolder(IID_IPersistFolder2, shownFolder.ReceiveVoid()))) ||
      !shownFolder) {
    return ViewedFolder::kNotFileSystem;
  }
  CTaskMemory<ITEMIDLIST> idList;
  if (FAILED(idList.Received(shownFolder->GetCurFolder(reinterpret_cast<PIDLIST_ABSOLUTE*>(idList.Receive())))) ||
      !idList) {
    return ViewedFolder::kNotFileSystem;
  }
  CTaskMemory<wchar_t> path;
  if (FAILED(path.Received(SHGetNameFromIDList(reinterpret_cast<PCIDLIST_ABSOLUTE>(idList.Get()),
                                               SIGDN_FILESYSPATH, path.Receive()))) ||
      !path) {
    return ViewedFolder::kNotFileSystem;
  }
  // "C:\" ends in its backslash already; every other folder path does not.
  CWideString shown(AsUtf16(path.Get()));
  if (shown.IsEmpty() || shown.GetAt(shown.GetLength() - 1) != u'\\') shown += u'\\';
  return EqualIgnoringCase(AsWide(shown.GetText()), shown.GetLength(), folder) ? ViewedFolder::kSame
                                                                                : ViewedFolder::kOther;
}

void ReadViewItemsOfFolder(IFolderView* view, const CWideString& folder, CItemNameIndex* items) {
  CScopedComPtr<IShellFolder> shownFolder;
  if (FAILED(shownFolder.Received(view->GetFolder(IID_IShellFolder, shownFolder.ReceiveVoid()))) || !shownFolder) {
    return;
  }
  int count = 0;
  if (FAILED(view->ItemCount(SVGIO_ALLVIEW, &count))) return;
  for (int index = 0; index < count; ++index) {
    CTaskMemory<ITEMIDLIST> child;
    if (FAILED(child.Received(view->Item(index, reinterpret_cast<PITEMID_CHILD*>(child.Receive())))) || !child) {
      continue;
    }
    const auto childId = reinterpret_cast<PCUITEMID_CHILD>(child.Get());
    STRRET name = {};
    if (FAILED(shownFolder->GetDisplayNameOf(childId, SHGDN_FORPARSING, &name))) continue;
    CTaskMemory<wchar_t> path;
    if (FAILED(path.Received(StrRetToStrW(&name, childId, path.Receive()))) || !path) continue;
    // The item's folder is its path up to the last backslash, that included.
    const wchar_t* text = path.Get();
    const wchar_t* lastBackslash = wcsrchr(text, L'\\');
    if (lastBackslash == nullptr) continue;
    const int32_t folderLength = static_cast<int32_t>(lastBackslash - text) + 1;
    if (!EqualIgnoringCase(text, folderLength, folder)) continue;
    items->Add(CWideString(AsUtf16(lastBackslash + 1)), index);
  }
}

}  // namespace quorvel
