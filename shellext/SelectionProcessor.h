// SelectionProcessor holds the paths the user right-clicked and derives from
// them the extension the menu item names (the most frequent one) and the
// folder of the selection (that of the first path).
#pragma once

#include "base/WideString.h"
#include "base/WideStringArray.h"

namespace quorvel {

class SelectionProcessor {
 public:
  SelectionProcessor() = default;
  virtual ~SelectionProcessor() = default;

  void Clear() noexcept;
  void AddFile(const CWideString& path);

  // Appends the distinct extensions of the paths, most frequent first, to
  // m_extensions and sets m_folder. Ties go to the extension the frequency
  // map's iteration meets first.
  void Analyse();

  CWideString GetExtension() const;  // the first extension, or empty
  CWideString GetFolder() const { return m_folder; }

  const CWideStringArray& GetExtensions() const noexcept { return m_extensions; }
  const CWideStringArray& GetFiles() const noexcept { return m_files; }

 private:
  CWideStringArray m_extensions;
  CWideStringArray m_files;
  CWideString m_folder;
};

}  // namespace quorvel
