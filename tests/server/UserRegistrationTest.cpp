// DllInstall of the real quorvel.dll on the prefix's real registry: with
// "user" the registration goes to the current user's keys alone, and every
// failure leaves the user's and the machine's keys as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/RegistrationTable.h"
#include "tests/support/ServerLibrary.h"
#include "tests/support/TypeLibraryKind.h"
#include "tests/support/WinePath.h"

namespace quorvel {
namespace {

const std::wstring kDllPath = WinePath(kBuiltDll);

using InstallExport = HRESULT(STDAPICALLTYPE*)(BOOL, PCWSTR);

constexpr char16_t kUserClasses[] = u"Software\\Classes\\";
constexpr char16_t kShellExtensions[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions";
constexpr char16_t kTypeLib[] = u"TypeLib\\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}";
constexpr char16_t kInterface[] = u"Interface\\{C4D6E8F0-1A3B-4D5E-8F71-2B4C6D8E0A93}";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Everything of the extension the machine could hold, in both views, and
// the whole of the user's classes and shell-extension keys.
std::vector<std::string> Snapshot() {
  std::vector<std::string> lines;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    CRealRegistryView machine(view);
    std::vector<RegistryPlace> keys = OwnedKeys();
    keys.push_back({HKEY_CLASSES_ROOT, kTypeLib});
    keys.push_back({HKEY_CLASSES_ROOT, kInterface});
    for (const RegistryPlace& key : keys) {
      for (const std::string& line : machine.DumpSubtree(HKEY_LOCAL_MACHINE, u"Software\\Classes\\" + std::u16string(key.path))) {
        lines.push_back(line);
      }
    }
    for (const RegistryPlace& key : ApprovalKeys()) {
      lines.push_back(machine.DescribeValueAt(key.root, key.path, kApprovalValueName));
    }
  }
  CRealRegistryView user;
  for (const std::u16string& path : {std::u16string(u"Software\\Classes"), std::u16string(kShellExtensions),
                                     std::u16string(u"Software\\Wow6432Node")}) {
    for (const std::string& line : user.DumpSubtree(HKEY_CURRENT_USER, path)) lines.push_back(line);
  }
  return lines;
}

// The keys the scripts mark NoRemove, as the user's keys hold them: the
// only lines a registration and its removal may leave behind.
bool IsKeptUserKey(const std::string& line) {
  static const std::vector<std::string> kept = {
      "HKCU\\Software\\Classes\\AppID", "HKCU\\Software\\Classes\\CLSID", "HKCU\\Software\\Classes\\*",
      "HKCU\\Software\\Classes\\*\\ShellEx", "HKCU\\Software\\Classes\\*\\ShellEx\\ContextMenuHandlers",
      "HKCU\\Software\\Classes\\TypeLib", "HKCU\\Software\\Classes\\Interface",
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"};
  return std::any_of(kept.begin(), kept.end(),
                     [&](const std::string& key) { return lstrcmpiA(key.c_str(), line.c_str()) == 0; });
}

// `after` holds every line of `before`, and beyond them only kept keys.
void ExpectAsBefore(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  for (const std::string& line : before) {
    EXPECT_NE(after.end(), std::find(after.begin(), after.end(), line)) << "lost: " << line;
  }
  for (const std::string& line : after) {
    if (std::find(before.begin(), before.end(), line) == before.end()) {
      EXPECT_TRUE(IsKeptUserKey(line)) << "left behind: " << line;
    }
  }
}

// HKEY_CLASSES_ROOT of this process means the machine's classes again: a key
// made through it lands there, not in the user's classes.
void ExpectClassesRootRestored() {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L"QuorvelRootProbe", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  RegCloseKey(key);
  CRealRegistryView view;
  EXPECT_TRUE(view.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\QuorvelRootProbe"));
  EXPECT_FALSE(view.HasKey(HKEY_CURRENT_USER, u"Software\\Classes\\QuorvelRootProbe"));
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"QuorvelRootProbe");
}

class UserRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_library.Load(kDllPath));
    m_install = reinterpret_cast<InstallExport>(
        reinterpret_cast<void*>(GetProcAddress(m_library.Get(), "DllInstall")));
    ASSERT_NE(nullptr, m_install);
    // Neither a machine nor a user registration left by another test.
    m_library.UnregisterServer();
    m_install(FALSE, L"user");
  }

  CServerLibrary m_library;
  InstallExport m_install = nullptr;
};

TEST_F(UserRegistration, WritesTheMachinesTableForTheUserAloneAndRemovalLeavesTheUserKeysAsBefore) {
  const std::vector<std::string> before = Snapshot();

  // Twice: the second run rebuilds the same keys.
  ASSERT_EQ(S_OK, m_install(TRUE, L"user"));
  ASSERT_EQ(S_OK, m_install(TRUE, L"User"));
  ExpectClassesRootRestored();

  // Nothing of it under HKEY_LOCAL_MACHINE, in either view.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    CRealRegistryView machine(view);
    for (const RegistryPlace& key : OwnedKeys()) {
      EXPECT_FALSE(machine.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\" + std::u16string(key.path)));
    }
    EXPECT_FALSE(machine.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\" + std::u16string(kTypeLib)));
    for (const RegistryPlace& key : ApprovalKeys()) {
      EXPECT_EQ("", machine.DescribeValueAt(key.root, key.path, kApprovalValueName));
    }
  }

  // The user's classes hold exactly the machine's table.
  CRealRegistryView user;
  std::vector<std::string> lines;
  for (const RegistryPlace& key : OwnedKeys()) {
    for (std::string line : user.DumpSubtree(HKEY_CURRENT_USER, kUserClasses + std::u16string(key.path))) {
      lines.push_back("HKCR\\" + line.substr(std::string("HKCU\\Software\\Classes\\").size()));
    }
  }
  EXPECT_EQ(ExpectedOwnedLines(Narrow(kDllPath)), lines);
  // The approval in the user's list, once: the user's Software key serves
  // both views, so there is no Wow6432Node copy of it.
  EXPECT_EQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved "
            "\"{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\" = REG_SZ \"Velmora\"",
            user.DescribeValueAt(HKEY_CURRENT_USER, std::u16string(kShellExtensions) + u"\\Approved",
                                 kApprovalValueName));
  EXPECT_FALSE(user.HasKey(HKEY_CURRENT_USER, u"Software\\Wow6432Node"));
  // The type library, registered by the system, for the user, under this
  // build's platform key.
  const std::wstring platformKey = kTypeLibPlatformKey;
  const std::u16string typeLibraryPath =
      kUserClasses + std::u16string(kTypeLib) + u"\\1.0\\0\\" + std::u16string(platformKey.begin(), platformKey.end());
  EXPECT_EQ("HKCU\\Software\\Classes\\TypeLib\\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}\\1.0\\0\\" +
                Narrow(kTypeLibPlatformKey) + " \"\" = REG_SZ \"" + Narrow(kDllPath) + "\"",
            user.DescribeValueAt(HKEY_CURRENT_USER, typeLibraryPath, u""));
  EXPECT_TRUE(user.HasKey(HKEY_CURRENT_USER, kUserClasses + std::u16string(kInterface)));

  ASSERT_EQ(S_OK, m_install(FALSE, L"USER"));
  ExpectClassesRootRestored();
  const std::vector<std::string> after = Snapshot();
  ExpectAsBefore(before, after);
  // Removing what is not registered succeeds and changes nothing.
  EXPECT_EQ(S_OK, m_install(FALSE, L"user"));
  EXPECT_EQ(after, Snapshot());
}

// The type library's keys as the platform's RegisterTypeLib writes them,
// beneath HKLM\Software\Classes or HKCU\Software\Classes, labelled alike.
std::vector<std::string> TypeLibraryKeys(HKEY root) {
  CRealRegistryView view(KEY_WOW64_64KEY);
  std::vector<std::string> lines;
  const std::string label = root == HKEY_CURRENT_USER ? "HKCU" : "HKLM";
  for (const char16_t* key : {kTypeLib, kInterface}) {
    for (const std::string& line : view.DumpSubtree(root, u"Software\\Classes\\" + std::u16string(key))) {
      lines.push_back("classes" + line.substr(label.size()));
    }
  }
  return lines;
}

TEST_F(UserRegistration, WithoutTheUserArgumentItIsTheMachineRegistrationWhoseTypeLibraryKeysTheUsersMatch) {
  ASSERT_EQ(S_OK, m_install(TRUE, nullptr));
  CRealRegistryView machine;
  EXPECT_TRUE(machine.HasKey(HKEY_LOCAL_MACHINE,
                             u"Software\\Classes\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\\InprocServer32"));
  EXPECT_FALSE(machine.HasKey(HKEY_CURRENT_USER,
                              u"Software\\Classes\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}"));
  const std::vector<std::string> machineTypeLibrary = TypeLibraryKeys(HKEY_LOCAL_MACHINE);
  ASSERT_EQ(S_OK, m_install(FALSE, L""));
  EXPECT_FALSE(machine.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}"));

  ASSERT_EQ(S_OK, m_install(TRUE, L"user"));
  EXPECT_FALSE(machineTypeLibrary.empty());
  EXPECT_EQ(machineTypeLibrary, TypeLibraryKeys(HKEY_CURRENT_USER));
  EXPECT_EQ(S_OK, m_install(FALSE, L"user"));
}

// A volatile key where a step must create a subkey makes that step fail
// (a non-volatile key cannot live beneath a volatile one): the way to make
// a real registry refuse a write half-way through.
struct FailureCase {
  const char* name;
  BOOL install;
  const wchar_t* argument;
  const wchar_t* volatileUserKey;  // beneath HKEY_CURRENT_USER; null for none
};

const FailureCase kFailureCases[] = {
    {"unknown argument", TRUE, L"machine", nullptr},
    {"argument with a space", TRUE, L"user ", nullptr},
    {"unknown argument on removal", FALSE, L"/user", nullptr},
    {"first step: the AppID script", TRUE, L"user", L"Software\\Classes\\AppID"},
    {"the class script's handler block, after its class block", TRUE, L"user",
     L"Software\\Classes\\*\\ShellEx\\ContextMenuHandlers"},
    {"the class script's approval block, after its class and handler blocks", TRUE, L"user",
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"},
    {"the type library, after both scripts", TRUE, L"user", L"Software\\Classes\\TypeLib"},
};

TEST_F(UserRegistration, EveryFailureLeavesBothHivesAsTheyWereAndReturnsAFailureCode) {
  for (const FailureCase& failure : kFailureCases) {
    SCOPED_TRACE(failure.name);
    if (failure.volatileUserKey != nullptr) {
      RegDeleteTreeW(HKEY_CURRENT_USER, failure.volatileUserKey);
      HKEY key = nullptr;
      ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, failure.volatileUserKey, 0, nullptr,
                                               REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
      RegCloseKey(key);
    }
    const std::vector<std::string> before = Snapshot();
    const HRESULT hr = m_install(failure.install, failure.argument);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    if (failure.volatileUserKey == nullptr) EXPECT_EQ(E_INVALIDARG, hr);
    ExpectAsBefore(before, Snapshot());
    ExpectClassesRootRestored();
    if (failure.volatileUserKey != nullptr) RegDeleteTreeW(HKEY_CURRENT_USER, failure.volatileUserKey);
  }
}

}  // namespace
}  // namespace quorvel
