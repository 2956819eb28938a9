#include "shellext/SelectionProcessor.h"

#include "path/Path.h"
#include "shellext/ExtensionFrequencyMap.h"

namespace quorvel {

void SelectionProcessor::Clear() noexcept {
  m_files.RemoveAll();
  m_extensions.RemoveAll();
  m_folder = CWideString();
}

void SelectionProcessor::AddFile(const CWideString& path) { m_files.Add(path); }

void SelectionProcessor::Analyse() {
  CExtensionFrequencyMap frequencies;
  for (int32_t position = 0; position < m_files.GetCount(); ++position) {
    CPath path;
    path.SetPath(m_files.GetAt(position).GetText(), 0, 0);
    if (position == 0) m_folder = path.GetFolderPath();
    frequencies.Increment(path.GetDotExtension());
  }

  while (!frequencies.IsEmpty()) {
    CWideString best;
    int32_t bestCount = 0;
    frequencies.ForEach([&](const CWideString& key, int32_t count) {
      if (count > bestCount) {
        best = key;
        bestCount = count;
      }
    });
    m_extensions.Add(best);
    frequencies.Remove(best);
  }
}

CWideString SelectionProcessor::GetExtension() const {
  return m_extensions.GetCount() > 0 ? m_extensions.GetAt(0) : CWideString();
}

}  // namespace quorvel
