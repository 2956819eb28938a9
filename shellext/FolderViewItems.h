// What the shell's folder view object (IFolderView) shows, read through its
// own calls: the folder it shows, and the file-system path of each item.
//
// Under Windows 11 the command runs in the COM surrogate and the view in
// Explorer, so each call on the view crosses processes. The items are read in
// one batch (IFolderView::Items into an IEnumIDList) where the view offers
// it, and each item's path is worked out here, from the folder's ID list
// joined with the item's, rather than asked of the view's folder per item.
#pragma once

#include <vector>

#include "base/WideString.h"
#include "platform/TaskMemory.h"
#include "platform/WinApi.h"
#include "shellext/ItemNameIndex.h"

namespace quorvel {

enum class ViewedFolder {
  kSame,           // the view shows `folder` itself
  kOther,          // the view shows another file-system folder
  kNotFileSystem,  // search results, a library, or a folder whose path is unknown
};

// The folder a view shows, learnt once: its absolute ID list, made in this
// process, and its file-system path where it has one.
//
// The folder's shell item is asked for its name, and the ID list parsed here
// from that name, as documented for the view; a view that has no shell item
// for its folder (Wine's) is asked for the folder's ID list.
class CShownFolder {
 public:
  explicit CShownFolder(IFolderView* view);

  // How the folder relates to `folder` (a path ending in a backslash), letter
  // case ignored.
  ViewedFolder Compare(const CWideString& folder) const;

  // Null where the folder could not be learnt.
  PCIDLIST_ABSOLUTE GetIdList() const noexcept { return reinterpret_cast<PCIDLIST_ABSOLUTE>(m_idList.Get()); }

 private:
  CTaskMemory<ITEMIDLIST> m_idList;
  CTaskMemory<wchar_t> m_path;  // null where the folder is no file-system folder
};

// Every item of a view, as its child ID list, in view order.
class CViewItemIdLists {
 public:
  // Reads the view's items: in one batch where the view offers
  // IFolderView::Items, otherwise item by item. An item that cannot be read
  // is kept as null, so that positions stay the view's indexes.
  void Read(IFolderView* view);

  int GetCount() const noexcept { return static_cast<int>(m_idLists.size()); }
  PCUITEMID_CHILD Get(int index) const noexcept {
    return reinterpret_cast<PCUITEMID_CHILD>(m_idLists[static_cast<size_t>(index)].Get());
  }

 private:
  std::vector<CTaskMemory<ITEMIDLIST>> m_idLists;
};

// Reads every item of the view once, in view order, and records in `items`
// the file name of each item whose full path lies directly in `folder`
// (letter case of the folder ignored), with its index. Items of other folders,
// and items that name no file-system path, are passed over. The items' ID
// lists are left in `idLists` when given.
void ReadViewItemsOfFolder(IFolderView* view, const CShownFolder& shown, const CWideString& folder,
                           CItemNameIndex* items, CViewItemIdLists* idLists = nullptr);

}  // namespace quorvel
