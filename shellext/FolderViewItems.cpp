#include "shellext/FolderViewItems.h"

#include <memory>
#include <utility>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "platform/TextServices.h"

namespace quorvel {

namespace {

// The most items asked of the view's enumerator at once: a folder of that
// many entries is read in one call.
constexpr ULONG kLargestBatch = 1 << 16;

bool EqualIgnoringCase(const wchar_t* text, int32_t length, const CWideString& other) {
  return length == other.GetLength() && EqualPathText(AsUtf16(text), other.GetText(), length);
}

// The parsing name of the folder the view shows, from its shell item, or
// null where the view offers none (Wine's).
CTaskMemory<wchar_t> ShownFolderName(IFolderView* view) {
  CTaskMemory<wchar_t> name;
  CScopedComPtr<IShellItem> item;
  if (FAILED(item.Received(view->GetFolder(IID_IShellItem, item.ReceiveVoid()))) || !item) return name;
  name.Received(item->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, name.Receive()));
  return name;
}

// The absolute ID list of the folder the view shows, asked of the view, or null.
CTaskMemory<ITEMIDLIST> ShownFolderIdList(IFolderView* view) {
  CTaskMemory<ITEMIDLIST> idList;
  CScopedComPtr<IPersistFolder2> shownFolder;
  if (FAILED(shownFolder.Received(view->GetFolder(IID_IPersistFolder2, shownFolder.ReceiveVoid()))) ||
      !shownFolder) {
    return idList;
  }
  idList.Received(shownFolder->GetCurFolder(reinterpret_cast<PIDLIST_ABSOLUTE*>(idList.Receive())));
  return idList;
}

// The file-system path of `idList`, or null.
CTaskMemory<wchar_t> FileSystemPath(PCIDLIST_ABSOLUTE idList) {
  CTaskMemory<wchar_t> path;
  path.Received(SHGetNameFromIDList(idList, SIGDN_FILESYSPATH, path.Receive()));
  return path;
}

// The parsing name of `child` in `folder`, or null.
CTaskMemory<wchar_t> ParsingName(IShellFolder* folder, PCUITEMID_CHILD child) {
  CTaskMemory<wchar_t> path;
  STRRET name = {};
  if (FAILED(folder->GetDisplayNameOf(child, SHGDN_FORPARSING, &name))) return path;
  path.Received(StrRetToStrW(&name, child, path.Receive()));
  return path;
}

// Whether `name` is a file-system path: a drive's ("C:\\...") or a share's ("\\\\...").
bool IsFileSystemPath(const wchar_t* name) {
  return (name[0] != L'\0' && name[1] == L':' && name[2] == L'\\') || (name[0] == L'\\' && name[1] == L'\\');
}

// The path of the view's item `child`, worked out here: the folder's ID list,
// bound once in this process, names the child. Binding per item (a joined ID
// list) would walk the namespace from the desktop for each one. Where that
// names no file-system path (the items of search results carry paths of their
// own), the view's folder is asked.
class CItemPaths {
 public:
  CItemPaths(IFolderView* view, const CShownFolder& shown) : m_view(view) {
    if (shown.GetIdList() != nullptr) {
      m_localFolder.Received(
          SHBindToObject(nullptr, shown.GetIdList(), nullptr, IID_IShellFolder, m_localFolder.ReceiveVoid()));
    }
  }

  CTaskMemory<wchar_t> PathOf(PCUITEMID_CHILD child) {
    if (m_localFolder) {
      CTaskMemory<wchar_t> path = ParsingName(m_localFolder.Get(), child);
      if (path && IsFileSystemPath(path.Get())) return path;
    }
    if (!m_askedForFolder) {
      m_askedForFolder = true;
      m_shownFolder.Received(m_view->GetFolder(IID_IShellFolder, m_shownFolder.ReceiveVoid()));
    }
    if (!m_shownFolder) return CTaskMemory<wchar_t>();
    return ParsingName(m_shownFolder.Get(), child);
  }

 private:
  IFolderView* m_view;
  CScopedComPtr<IShellFolder> m_localFolder;
  bool m_askedForFolder = false;
  CScopedComPtr<IShellFolder> m_shownFolder;
};

}  // namespace

CShownFolder::CShownFolder(IFolderView* view) {
  const CTaskMemory<wchar_t> name = ShownFolderName(view);
  if (name) {
    m_idList.Received(SHParseDisplayName(name.Get(), nullptr, reinterpret_cast<PIDLIST_ABSOLUTE*>(m_idList.Receive()),
                                         0, nullptr));
  }
  if (!m_idList) m_idList = ShownFolderIdList(view);
  if (m_idList) m_path = FileSystemPath(GetIdList());
}

ViewedFolder CShownFolder::Compare(const CWideString& folder) const {
  if (!m_path) return ViewedFolder::kNotFileSystem;
  // "C:\" ends in its backslash already; every other folder path does not.
  CWideString shown(AsUtf16(m_path.Get()));
  if (shown.IsEmpty() || shown.GetAt(shown.GetLength() - 1) != u'\\') shown += u'\\';
  return EqualIgnoringCase(AsWide(shown.GetText()), shown.GetLength(), folder) ? ViewedFolder::kSame
                                                                                : ViewedFolder::kOther;
}

void CViewItemIdLists::Read(IFolderView* view) {
  m_idLists.clear();
  int count = 0;
  if (FAILED(view->ItemCount(SVGIO_ALLVIEW, &count)) || count <= 0) return;
  m_idLists.reserve(static_cast<size_t>(count));

  CScopedComPtr<IEnumIDList> enumerator;
  if (SUCCEEDED(enumerator.Received(
          view->Items(SVGIO_ALLVIEW | SVGIO_FLAG_VIEWORDER, IID_IEnumIDList, enumerator.ReceiveVoid()))) &&
      enumerator) {
    const ULONG batch = static_cast<ULONG>(count) < kLargestBatch ? static_cast<ULONG>(count) : kLargestBatch;
    std::unique_ptr<PITEMID_CHILD[]> received(new PITEMID_CHILD[batch]());
    for (;;) {
      ULONG fetched = 0;
      const HRESULT result = enumerator->Next(batch, received.get(), &fetched);
      if (FAILED(result)) fetched = 0;
      // Owned first, so that nothing is lost if a later step throws.
      for (ULONG i = 0; i < fetched; ++i) {
        m_idLists.emplace_back(reinterpret_cast<ITEMIDLIST*>(received[i]));
      }
      // Every item counted is in: no further call to learn that the end is reached.
      if (result != S_OK || fetched == 0 || m_idLists.size() >= static_cast<size_t>(count)) break;
    }
    return;
  }
  // The view offers no batch (Wine's answers E_NOTIMPL): item by item.
  for (int index = 0; index < count; ++index) {
    CTaskMemory<ITEMIDLIST> child;
    child.Received(view->Item(index, reinterpret_cast<PITEMID_CHILD*>(child.Receive())));
    m_idLists.push_back(std::move(child));
  }
}

void ReadViewItemsOfFolder(IFolderView* view, const CShownFolder& shown, const CWideString& folder,
                           CItemNameIndex* items, CViewItemIdLists* idLists) {
  CViewItemIdLists own;
  CViewItemIdLists& read = idLists != nullptr ? *idLists : own;
  read.Read(view);
  CItemPaths paths(view, shown);
  for (int index = 0; index < read.GetCount(); ++index) {
    const PCUITEMID_CHILD child = read.Get(index);
    if (child == nullptr) continue;
    const CTaskMemory<wchar_t> path = paths.PathOf(child);
    if (!path) continue;
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
