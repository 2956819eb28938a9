#include "shellext/ItemNameIndex.h"

#include <utility>

#include "path/Path.h"
#include "shellext/FolderListing.h"

namespace quorvel {

int GetItemCount(HWND listView) { return static_cast<int>(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0)); }

bool ReadItemFileName(HWND listView, int index, CWideString* fileName) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (SendMessageW(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == 0) return false;
  // An item without an identifier list names no file.
  if (item.lParam == 0) return false;
  wchar_t path[MAX_PATH];
  path[0] = 0;
  if (!SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item.lParam), path)) return false;

  CPath itemPath;
  itemPath.SetPath(AsUtf16(path), 0, 0);
  *fileName = itemPath.GetFileName();
  return true;
}

CItemNameIndex::CItemNameIndex(HWND listView) {
  const int count = GetItemCount(listView);
  if (count > 0) m_firstIndex.reserve(static_cast<size_t>(count));
  CWideString name;
  for (int index = 0; index < count; ++index) {
    if (ReadItemFileName(listView, index, &name)) Add(std::move(name), index);
  }
}

void CItemNameIndex::Add(CWideString fileName, int index) {
  // A later item showing the same name leaves the first in place.
  m_firstIndex.try_emplace(std::move(fileName), index);
}

int CItemNameIndex::Find(const CWideString& fileName) const {
  const auto found = m_firstIndex.find(fileName);
  return found != m_firstIndex.end() ? found->second : -1;
}

size_t CItemNameIndex::Hash::operator()(const CWideString& text) const noexcept {
  // FNV-1a over the code units, with the offset and prime of size_t's width
  // (the 64-bit ones cut to 32 bits would spread names badly).
  constexpr bool kWide = sizeof(size_t) == 8;
  constexpr size_t kOffset = kWide ? static_cast<size_t>(14695981039346656037ull) : static_cast<size_t>(2166136261u);
  constexpr size_t kPrime = kWide ? static_cast<size_t>(1099511628211ull) : static_cast<size_t>(16777619u);
  size_t hash = kOffset;
  const char16_t* units = text.GetText();
  for (int32_t i = 0; i < text.GetLength(); ++i) {
    hash ^= units[i];
    hash *= kPrime;
  }
  return hash;
}

std::vector<int> ItemsOfMatchingEntries(const CItemNameIndex& items, const CWideString& folder,
                                        const CWideString& pattern) {
  std::vector<int> indexes;
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
    const int index = items.Find(name);
    if (index != -1) indexes.push_back(index);
  }
  return indexes;
}

}  // namespace quorvel
