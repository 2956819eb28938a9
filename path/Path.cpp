#include "path/Path.h"

#include <cstring>

namespace quorvel {

namespace {

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// The four parts of one split, each in a fixed buffer as the limits give them.
struct PathParts {
  char16_t drive[CPath::kDriveUnits] = {};
  char16_t directory[CPath::kPartUnits] = {};
  char16_t name[CPath::kPartUnits] = {};
  char16_t extension[CPath::kPartUnits] = {};
};

void CopyPart(char16_t* target, const char16_t* begin, const char16_t* end) {
  const size_t count = static_cast<size_t>(end - begin);
  std::memcpy(target, begin, count * sizeof(char16_t));
  target[count] = 0;
}

// Splits `text` into its parts; when the directory, name or extension part
// would exceed 255 units, every part is left empty.
void SplitPath(const char16_t* text, PathParts& parts) {
  const char16_t* rest = text;
  const char16_t* driveEnd = text;
  if (text[0] != 0 && text[1] == u':') {
    driveEnd = text + 2;
    rest = driveEnd;
  }

  const char16_t* lastSeparator = nullptr;
  const char16_t* end = rest;
  for (; *end != 0; ++end) {
    if (IsSeparator(*end)) lastSeparator = end;
  }
  const char16_t* fileStart = lastSeparator != nullptr ? lastSeparator + 1 : rest;

  const char16_t* lastDot = nullptr;
  for (const char16_t* p = fileStart; p < end; ++p) {
    if (*p == u'.') lastDot = p;
  }
  const char16_t* nameEnd = lastDot != nullptr ? lastDot : end;

  const ptrdiff_t limit = CPath::kPartUnits - 1;
  if (fileStart - rest > limit || nameEnd - fileStart > limit || end - nameEnd > limit) return;

  CopyPart(parts.drive, text, driveEnd);
  CopyPart(parts.directory, rest, fileStart);
  CopyPart(parts.name, fileStart, nameEnd);
  CopyPart(parts.extension, nameEnd, end);
}

}  // namespace

void UnquoteSpaces(char16_t* text) noexcept {
  const int32_t length = TextLength(text);
  if (length < 2 || text[0] != u'"' || text[length - 1] != u'"') return;
  std::memmove(text, text + 1, static_cast<size_t>(length - 2) * sizeof(char16_t));
  text[length - 2] = 0;
}

void CPath::SetPath(const char16_t* text, int32_t /*asFolder*/, int32_t /*withArguments*/) {
  m_path = CWideString();
  m_extension = CWideString();
  m_directoryParts.RemoveAll();
  m_argumentList.clear();
  m_relative = 0;

  m_path = text;

  const int32_t length = m_path.GetLength();
  if (length >= kWorkingBufferUnits) {
    m_drive = CWideString();
    m_directory = CWideString();
    m_name = CWideString();
    return;
  }
  char16_t buffer[kWorkingBufferUnits];
  std::memcpy(buffer, m_path.GetText(), (static_cast<size_t>(length) + 1) * sizeof(char16_t));
  UnquoteSpaces(buffer);
  if (buffer[0] == 0) return;

  PathParts parts;
  SplitPath(buffer, parts);

  m_drive = parts.drive;
  m_directory = parts.directory;
  m_directory.Replace(u'/', u'\\');
  if (!m_directory.IsEmpty()) m_relative = m_directory.GetAt(0) != u'\\' ? 1 : 0;

  m_name = parts.name;
  if (m_name.IsEmpty()) return;

  m_extension = parts.extension;
  m_extension.Remove(u'.');
}

CWideString CPath::GetFolderPath() const { return m_drive + m_directory; }

CWideString CPath::GetDotExtension() const {
  if (m_extension.IsEmpty()) return CWideString();
  CWideString result(u".");
  result.Append(m_extension);
  return result;
}

CWideString CPath::GetFileName() const { return m_name + GetDotExtension(); }

}  // namespace quorvel
