// CPath splits the text of one file-system path into drive, directory, name
// and extension, and answers the folder path, the extension with its dot and
// the file name. It works on text alone: no file-system access, no change of
// letter case, no comparison.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/WideString.h"
#include "base/WideStringArray.h"

namespace quorvel {

class CPath {
 public:
  // A command-line argument record. Nothing in this system makes one; the path
  // object only owns the (always empty) list of them.
  class CArgument {
   public:
    CArgument() = default;
    virtual ~CArgument() = default;

    char16_t m_switch = u'/';
    CWideString m_name;
    CWideString m_value;
  };

  // Working buffer and part limits, in UTF-16 units.
  static constexpr int32_t kWorkingBufferUnits = 260;  // MAX_PATH, terminator included
  static constexpr int32_t kDriveUnits = 3;
  static constexpr int32_t kPartUnits = 256;  // directory, name, extension: 255 plus terminator

  CPath() = default;
  CPath(const CPath&) = delete;
  CPath& operator=(const CPath&) = delete;
  virtual ~CPath() = default;

  // Splits `text` (never null). Both callers pass `asFolder` and
  // `withArguments` as 0; other values are accepted and change nothing.
  //
  // A text of 260 units or more does not fit the working buffer: rather than
  // split a cut-off copy (which could report an extension or folder the path
  // does not have), such a path leaves every part empty, like a part that is
  // too long. m_path still holds the whole text.
  void SetPath(const char16_t* text, int32_t asFolder = 0, int32_t withArguments = 0);

  CWideString GetFolderPath() const;    // drive followed by directory
  CWideString GetDotExtension() const;  // "." + extension, or empty
  CWideString GetFileName() const;      // name followed by the dot extension

  const CWideString& GetPath() const noexcept { return m_path; }
  const CWideString& GetDrive() const noexcept { return m_drive; }
  const CWideString& GetDirectory() const noexcept { return m_directory; }
  const CWideString& GetName() const noexcept { return m_name; }
  const CWideString& GetExtension() const noexcept { return m_extension; }
  int32_t IsRelative() const noexcept { return m_relative; }

 private:
  CWideString m_path;
  CWideString m_drive;
  CWideStringArray m_directoryParts;
  CWideString m_directory;
  CWideString m_name;
  CWideString m_extension;
  CWideString m_arguments;
  std::vector<std::unique_ptr<CArgument>> m_argumentList;
  int32_t m_relative = 0;
};

// Removes the double quote at the start and the one at the end of a
// zero-terminated text, in place, when both are there; otherwise leaves it.
void UnquoteSpaces(char16_t* text) noexcept;

}  // namespace quorvel
