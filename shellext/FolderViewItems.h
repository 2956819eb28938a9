// What the shell's folder view object (IFolderView) shows, read through its
// own calls: the folder it shows, and the file-system path of each item.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"
#include "shellext/ItemNameIndex.h"

namespace quorvel {

enum class ViewedFolder {
  kSame,           // the view shows `folder` itself
  kOther,          // the view shows another file-system folder
  kNotFileSystem,  // search results, a library, or a folder whose path is unknown
};

// How the folder the view shows relates to `folder` (a path ending in a
// backslash), letter case ignored.
ViewedFolder CompareViewedFolder(IFolderView* view, const CWideString& folder);

// Reads every item of the view once, in view order, and records in `items`
// the file name of each item whose full path lies directly in `folder`
// (letter case of the folder ignored), with its index. Items of other folders,
// and items that name no file-system path, are passed over.
void ReadViewItemsOfFolder(IFolderView* view, const CWideString& folder, CItemNameIndex* items);

}  // namespace quorvel
