// CTempFolder: a new, empty folder under the temporary folder, removed with
// everything in it when the test ends. Failures are reported to GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

class CTempFolder {
 public:
  CTempFolder() {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    EXPECT_GT(length, 0u);
    static LONG counter = 0;
    m_path = std::wstring(temp) + L"quorvel-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(InterlockedIncrement(&counter));
    EXPECT_TRUE(CreateDirectoryW(m_path.c_str(), nullptr)) << "cannot create " << Narrow(m_path);
  }
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;
  ~CTempFolder() { RemoveTree(m_path); }

  // The folder's full path, without a final backslash.
  const std::wstring& Path() const noexcept { return m_path; }
  std::wstring PathOf(const std::wstring& name) const { return m_path + L"\\" + name; }

  void AddFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
    CScopedFileHandle file(CreateFileW(PathOf(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
    EXPECT_TRUE(file.IsValid()) << "cannot create " << Narrow(name);
  }
  void AddFolder(const std::wstring& name) const {
    EXPECT_TRUE(CreateDirectoryW(PathOf(name).c_str(), nullptr)) << "cannot create " << Narrow(name);
  }
  void Remove(const std::wstring& name) const { RemoveTree(PathOf(name)); }

  // The names the platform lists for `pattern` in this folder, in listing
  // order, "." and ".." left out.
  std::vector<std::wstring> List(const std::wstring& pattern) const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    CScopedFindHandle listing(FindFirstFileW(PathOf(pattern).c_str(), &entry));
    if (!listing.IsValid()) return names;
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(listing.Get(), &entry));
    return names;
  }

  static std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
  }

 private:
  static void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW(path.c_str());
      return;
    }
    WIN32_FIND_DATAW entry;
    {
      CScopedFindHandle listing(FindFirstFileW((path + L"\\*").c_str(), &entry));
      if (listing.IsValid()) {
        do {
          const std::wstring name = entry.cFileName;
          if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(listing.Get(), &entry));
      }
    }
    RemoveDirectoryW(path.c_str());
  }

  std::wstring m_path;
};

}  // namespace quorvel
