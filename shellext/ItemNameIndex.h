// The file names that a folder view's list items show. Each item's parameter
// is its shell identifier list; the file-name part of the path it converts to
// is the name the item shows.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// The number of items of the list control.
int GetItemCount(HWND listView);

// The file name (name and dot extension) that list item `index` shows; false
// when the item's record or its path cannot be read.
bool ReadItemFileName(HWND listView, int index, CWideString* fileName);

// Every file name the list shows, with the first item that shows it, read in
// one walk of the list: looking up many names then costs one walk, not one
// walk per name.
class CItemNameIndex {
 public:
  CItemNameIndex() = default;
  explicit CItemNameIndex(HWND listView);

  // Records that item `index` shows `fileName`, unless an earlier item shows
  // it already.
  void Add(CWideString fileName, int index);
  bool IsEmpty() const noexcept { return m_firstIndex.empty(); }

  // The index of the first item that shows exactly `fileName` (letter case
  // included), or -1.
  int Find(const CWideString& fileName) const;

 private:
  struct Hash {
    size_t operator()(const CWideString& text) const noexcept;
  };

  std::unordered_map<CWideString, int, Hash> m_firstIndex;
};

// The item of each entry of `folder` (ending in a backslash) that matches
// `pattern`, in listing order; entries no item shows are passed over.
std::vector<int> ItemsOfMatchingEntries(const CItemNameIndex& items, const CWideString& folder,
                                        const CWideString& pattern);

}  // namespace quorvel
