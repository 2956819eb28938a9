// Carrying out the command: the folder's matching entries become the list
// control's selection.
#include "platform/ScopedHandles.h"
#include "shellext/SelecterMenu.h"

namespace quorvel {

namespace {

// The listing matches a pattern against each entry's short-name alias too, so
// "*.htm" also delivers "page.html" (alias PAGE~1.HTM). An entry counts only
// when its long name itself ends with the pattern's text after the leading
// "*", letter case ignored as the listing ignores it.
bool LongNameMatches(const CWideString& name, const CWideString& pattern) {
  const int32_t skip = pattern.GetLength() > 0 && pattern.GetAt(0) == u'*' ? 1 : 0;
  const int32_t suffixLength = pattern.GetLength() - skip;
  if (name.GetLength() < suffixLength) return false;
  const wchar_t* nameTail = AsWide(name.GetText()) + (name.GetLength() - suffixLength);
  return CompareStringOrdinal(nameTail, suffixLength, AsWide(pattern.GetText()) + skip, suffixLength, TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

void CSelecterMenu::SelectMatchingFiles(HWND listView, const CWideString& folder, const CWideString& pattern) {
  LVITEMW clear = {};
  clear.stateMask = LVIS_SELECTED;
  clear.state = 0;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));

  // The folder ends in a backslash already; the doubled one is accepted.
  CWideString searchPath(folder);
  searchPath += u'\\';
  searchPath += pattern;

  WIN32_FIND_DATAW entry;
  CScopedFindHandle listing(FindFirstFileW(AsWide(searchPath.GetText()), &entry));
  if (!listing.IsValid()) return;
  do {
    const CWideString name(AsUtf16(entry.cFileName));
    if (name == u"." || name == u"..") continue;
    if (!LongNameMatches(name, pattern)) continue;
    SelectItemByName(listView, name);
  } while (FindNextFileW(listing.Get(), &entry));
}

void CSelecterMenu::SelectItemByName(HWND listView, const CWideString& fileName) {
  const int index = FindItemByName(listView, fileName);
  if (index == -1) return;
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace quorvel
