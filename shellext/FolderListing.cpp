#include "shellext/FolderListing.h"

#include <utility>

#include "platform/TextServices.h"

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
  return EqualPathText(name.GetText() + (name.GetLength() - suffixLength), pattern.GetText() + skip, suffixLength);
}

}  // namespace

CFolderListing::CFolderListing(const CWideString& folder, const CWideString& pattern) : m_pattern(pattern) {
  // The folder ends in a backslash already; the doubled one is accepted.
  CWideString searchPath(folder);
  searchPath += u'\\';
  searchPath += pattern;
  m_listing.Reset(FindFirstFileW(AsWide(searchPath.GetText()), &m_entry));
  m_hasEntry = m_listing.IsValid();
}

bool CFolderListing::Next(CWideString* name) {
  while (m_hasEntry) {
    CWideString entryName(AsUtf16(m_entry.cFileName));
    m_hasEntry = FindNextFileW(m_listing.Get(), &m_entry) != 0;
    if (entryName == u"." || entryName == u"..") continue;
    if (!LongNameMatches(entryName, m_pattern)) continue;
    *name = std::move(entryName);
    return true;
  }
  return false;
}

}  // namespace quorvel
