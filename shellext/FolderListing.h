// CFolderListing: the entries of a folder that match a pattern "*" +
// extension, in the order the platform lists them, each by its long name.
#pragma once

#include "base/WideString.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

class CFolderListing {
 public:
  // Opens the listing of `folder` (which ends in a backslash) for `pattern`.
  CFolderListing(const CWideString& folder, const CWideString& pattern);
  CFolderListing(const CFolderListing&) = delete;
  CFolderListing& operator=(const CFolderListing&) = delete;

  // False when nothing matches or the folder cannot be read.
  bool IsOpen() const noexcept { return m_listing.IsValid(); }

  // The next matching entry's long name; false once there is none. "." and
  // ".." are passed over, and so is an entry listed only because its
  // short-name alias matches.
  bool Next(CWideString* name);

 private:
  CWideString m_pattern;
  CScopedFindHandle m_listing;
  WIN32_FIND_DATAW m_entry;
  bool m_hasEntry = false;  // m_entry holds an entry not handed out yet
};

}  // namespace quorvel
