// What the setup program leaves in the prefix, looked at from inside it. Run
// by SetupTest.sh after each step, with the environment saying what to expect:
//   QUORVEL_EXPECT   "installed" or "removed"
//   QUORVEL_FOLDER   the installation folder (installed)
//   QUORVEL_WITH_32  "1" when quorvel32.dll is part of the installation
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "QuorvelVersion.h"
#include "platform/WinApi.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/RegistrationTable.h"

namespace quorvel {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ExpectInstalled() { return Setting("QUORVEL_EXPECT") == "installed"; }
bool With32() { return Setting("QUORVEL_WITH_32") == "1"; }
std::string Folder() { return Setting("QUORVEL_FOLDER"); }
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// "1.0.0.0" from the file's version resource, "" when it has none.
std::string FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr) {
    return "";
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// A value of the uninstall entry in the 64-bit view as text ("" when missing;
// a DWORD as its decimal number).
std::string EntryValue(const wchar_t* name, REGSAM view = KEY_WOW64_64KEY) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "";
  DWORD type = 0;
  BYTE data[2048] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  std::string text;
  if (RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS) {
    if (type == REG_DWORD) {
      text = std::to_string(*reinterpret_cast<DWORD*>(data));
    } else if (type == REG_SZ) {
      for (const wchar_t* unit = reinterpret_cast<const wchar_t*>(data); *unit != 0; ++unit) {
        text += static_cast<char>(*unit);
      }
    }
  }
  RegCloseKey(key);
  return text;
}

bool EntryExists(REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST(InstalledSetup, RegistrationTableOfQuorvelDllIn64BitView) {
  CRealRegistryView view(KEY_WOW64_64KEY);
  if (ExpectInstalled()) {
    ExpectRegistered(view, Folder() + "\\quorvel.dll");
  } else {
    ExpectRemoved(view);
  }
}

// The 32-bit registry view as 64-bit Windows shows it to 32-bit programs:
// its shared keys are the 64-bit view's own, the others redirected. Composed
// here because Wine answers a 64-bit program's KEY_WOW64_32KEY with the
// redirected part of HKEY_CLASSES_ROOT alone. (The 32-bit hosts of the test
// see the view itself.)
class C32BitViewOfWindows : public IRegistryView {
 public:
  std::vector<std::string> DumpSubtree(HKEY root, const std::u16string& path) override {
    return ViewOf(root, path).DumpSubtree(root, path);
  }
  std::string DescribeValueAt(HKEY root, const std::u16string& path, const std::u16string& name) override {
    return ViewOf(root, path).DescribeValueAt(root, path, name);
  }
  bool HasKey(HKEY root, const std::u16string& path) override { return ViewOf(root, path).HasKey(root, path); }

 private:
  IRegistryView& ViewOf(HKEY root, const std::u16string& path) {
    return SharedBetweenViews({root, path.c_str()}) ? m_shared : m_redirected;
  }

  CRealRegistryView m_shared{KEY_WOW64_64KEY};
  CRealRegistryView m_redirected{KEY_WOW64_32KEY};
};

TEST(InstalledSetup, RegistrationTableOfQuorvel32DllIn32BitView) {
  if (!With32()) GTEST_SKIP() << "quorvel32.dll is not part of this installation";
  C32BitViewOfWindows view;
  if (ExpectInstalled()) {
    ExpectRegistered(view, Folder() + "\\quorvel32.dll");
  } else {
    ExpectRemoved(view);
  }
}

TEST(InstalledSetup, InstalledProgramsEntry) {
  // One entry, in the 64-bit view alone.
  EXPECT_FALSE(EntryExists(KEY_WOW64_32KEY)) << "an entry in the 32-bit view";
  if (!ExpectInstalled()) {
    EXPECT_FALSE(EntryExists(KEY_WOW64_64KEY));
    return;
  }
  ASSERT_TRUE(EntryExists(KEY_WOW64_64KEY));
  const std::wstring dll = Wide(Folder() + "\\quorvel.dll");
  const std::string version = FileVersion(dll);
  EXPECT_EQ(QUORVEL_VERSION_TEXT, version) << "the installed quorvel.dll";
  if (With32()) {
    EXPECT_EQ(version, FileVersion(Wide(Folder() + "\\quorvel32.dll")));
  }
  EXPECT_EQ(version, EntryValue(L"DisplayVersion"));
  EXPECT_EQ("Quorvel", EntryValue(L"DisplayName"));
  EXPECT_EQ("Quorvel", EntryValue(L"Publisher"));
  EXPECT_EQ(Folder(), EntryValue(L"InstallLocation"));
  EXPECT_EQ("\"" + Folder() + "\\uninstall.exe\"", EntryValue(L"UninstallString"));
  EXPECT_EQ("\"" + Folder() + "\\uninstall.exe\" /S", EntryValue(L"QuietUninstallString"));
  EXPECT_EQ("1", EntryValue(L"NoModify"));
  EXPECT_EQ("1", EntryValue(L"NoRepair"));
  // The size in KB, as the installed programs list shows it: the DLLs the
  // folder holds, their satellites included.
  DWORD bytes = 0;
  int dlls = 0;
  WIN32_FIND_DATAW entry = {};
  const HANDLE listing = FindFirstFileW(Wide(Folder() + "\\*.dll").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      bytes += entry.nFileSizeLow;
      ++dlls;
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
  }
  EXPECT_GT(dlls, With32() ? 2 : 1) << "no satellites beside the DLLs";
  const unsigned long estimated = std::strtoul(EntryValue(L"EstimatedSize").c_str(), nullptr, 10);
  EXPECT_GE(estimated, bytes / 1024);
  EXPECT_LE(estimated, bytes / 1024 + 64);
}

}  // namespace
}  // namespace quorvel
