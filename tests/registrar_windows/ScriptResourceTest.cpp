// Registry scripts loaded from a library's resources: the bytes it carries,
// the variables of a script run, the real registry after scripts 101 and 103,
// and every failure of loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptBytes.h"
#include "base/ResultCode.h"
#include "platform/ScopedHandles.h"
#include "platform/WindowsRegistry.h"
#include "registrar/ScriptResource.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/MemoryRegistry.h"

namespace quorvel {
namespace {

constexpr uint32_t kAppIdScriptId = 101;
constexpr uint32_t kClassScriptId = 103;
constexpr uint32_t kEmptyScriptId = 900;

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring ScriptsLibraryPath() { return ProgramFolder() + L"registrar_scripts.dll"; }

std::string ModulePathText(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return PrintableName(std::wstring(path, length));
}

int g_hookCalls = 0;

HRESULT AddAppId(void*, IRegistrarBase* registrar) noexcept {
  ++g_hookCalls;
  return registrar->AddVariable(u"APPID", kTestAppId);
}

HRESULT RefuseToAdd(void* context, IRegistrarBase*) noexcept {
  ++g_hookCalls;
  return *static_cast<HRESULT*>(context);
}

const RegistryVariable kAppIdVariables[] = {{u"APPID", kTestAppId}, {nullptr, nullptr}};

class ScriptLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    m_library.Reset(LoadLibraryW(ScriptsLibraryPath().c_str()));
    ASSERT_TRUE(m_library.IsValid()) << GetLastError();
    g_hookCalls = 0;
  }

  // DllRegisterServer's order: the AppID script, then the class script.
  static HRESULT RegisterBoth(HMODULE module, IRegistry& registry) {
    HRESULT hr = ApplyRegistryResource(module, kAppIdScriptId, true, kAppIdVariables, AddAppId, nullptr, registry);
    if (FAILED(hr)) return hr;
    return ApplyRegistryResource(module, kClassScriptId, true, nullptr, AddAppId, nullptr, registry);
  }

  // DllUnregisterServer's order: the class script, then the AppID script.
  static HRESULT RemoveBoth(HMODULE module, IRegistry& registry) {
    HRESULT hr = ApplyRegistryResource(module, kClassScriptId, false, nullptr, AddAppId, nullptr, registry);
    if (FAILED(hr)) return hr;
    return ApplyRegistryResource(module, kAppIdScriptId, false, kAppIdVariables, AddAppId, nullptr, registry);
  }

  CLibraryHandle m_library;
  CRealRegistryView m_view;
};

TEST_F(ScriptLibrary, CarriesBothScriptsWithExactlyTheCommittedBytes) {
  struct Expected {
    uint32_t id;
    const unsigned char* bytes;
    size_t size;
  };
  const Expected scripts[] = {{kAppIdScriptId, kAppIdScriptBytes, sizeof(kAppIdScriptBytes)},
                              {kClassScriptId, kSelecterMenuScriptBytes, sizeof(kSelecterMenuScriptBytes)}};
  for (const Expected& script : scripts) {
    const HRSRC info = FindResourceExW(m_library.Get(), L"REGISTRY", MAKEINTRESOURCEW(script.id),
                                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(nullptr, info) << script.id;
    ASSERT_EQ(script.size, SizeofResource(m_library.Get(), info)) << script.id;
    const void* bytes = LockResource(LoadResource(m_library.Get(), info));
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(0, std::memcmp(script.bytes, bytes, script.size)) << script.id;
  }
}

TEST_F(ScriptLibrary, WritesTheRegistrationTableToTheRealRegistryAndRemovesIt) {
  ASSERT_EQ(S_OK, RemoveBoth(m_library.Get(), WindowsRegistry()));  // whatever an earlier run left
  ASSERT_EQ(S_OK, RegisterBoth(m_library.Get(), WindowsRegistry()));
  ExpectRegistered(m_view, ModulePathText(m_library.Get()));
  // Registering again leaves one set of keys, the rebuilt ones included.
  ASSERT_EQ(S_OK, RegisterBoth(m_library.Get(), WindowsRegistry()));
  ExpectRegistered(m_view, ModulePathText(m_library.Get()));

  ASSERT_EQ(S_OK, RemoveBoth(m_library.Get(), WindowsRegistry()));
  ExpectRemoved(m_view);
  ASSERT_EQ(S_OK, RemoveBoth(m_library.Get(), WindowsRegistry()));
  ExpectRemoved(m_view);
}

TEST_F(ScriptLibrary, KeepsAForeignHandlerAndAForeignSubkeyOfTheClassOnRemoval) {
  const std::wstring handlers = L"*\\ShellEx\\ContextMenuHandlers";
  const std::wstring classKey = L"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}";
  ASSERT_TRUE(SetRealString(HKEY_CLASSES_ROOT, handlers + L"\\OtherHandler", nullptr, L"{other}"));
  ASSERT_EQ(S_OK, RegisterBoth(m_library.Get(), WindowsRegistry()));
  ASSERT_TRUE(CreateRealKey(HKEY_CLASSES_ROOT, classKey + L"\\Foreign"));
  ASSERT_EQ(S_OK, RemoveBoth(m_library.Get(), WindowsRegistry()));

  EXPECT_EQ((std::vector<std::string>{
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}",
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15} @ = REG_SZ \"SelecterMenu Class\"",
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\\Foreign",
            }),
            m_view.DumpSubtree(HKEY_CLASSES_ROOT, AsUtf16(classKey.c_str())));
  EXPECT_EQ("HKCR\\*\\ShellEx\\ContextMenuHandlers\\OtherHandler \"\" = REG_SZ \"{other}\"",
            m_view.DescribeValueAt(HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers\\OtherHandler", u""));
  EXPECT_FALSE(m_view.HasKey(HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu"));

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str()));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, (handlers + L"\\OtherHandler").c_str()));
}

TEST_F(ScriptLibrary, StoresAPathWithAQuoteWithSingleQuotes) {
  const std::wstring folder = ProgramFolder() + L"it's quorvel";
  const std::wstring copy = folder + L"\\registrar_scripts.dll";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(ScriptsLibraryPath().c_str(), copy.c_str(), FALSE)) << GetLastError();
  {
    CLibraryHandle quoted(LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(quoted.IsValid()) << GetLastError();
    const std::string path = ModulePathText(quoted.Get());
    ASSERT_NE(std::string::npos, path.find("it's quorvel")) << path;

    ASSERT_EQ(S_OK, RegisterBoth(quoted.Get(), WindowsRegistry()));
    ExpectRegistered(m_view, path);
    ASSERT_EQ(S_OK, RemoveBoth(quoted.Get(), WindowsRegistry()));
    ExpectRemoved(m_view);
  }
  EXPECT_TRUE(DeleteFileW(copy.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

TEST_F(ScriptLibrary, GivesTheCallersPairsPrecedence) {
  CMemoryRegistry registry;
  const RegistryVariable variables[] = {
      {u"Skipped", nullptr},  // passed over
      {u"APPID", u"{caller}"},
      {nullptr, nullptr},
  };
  ASSERT_EQ(S_OK, ApplyRegistryResource(m_library.Get(), kAppIdScriptId, true, variables, AddAppId, nullptr,
                                        registry));
  EXPECT_EQ(1, g_hookCalls);
  EXPECT_EQ((std::vector<std::string>{
                "HKCR\\AppID",
                "HKCR\\AppID\\Quorvel.DLL",
                "HKCR\\AppID\\Quorvel.DLL \"AppID\" = REG_SZ \"{caller}\"",
                "HKCR\\AppID\\{caller}",
                "HKCR\\AppID\\{caller} @ = REG_SZ \"Quorvel\"",
            }),
            registry.DumpAll());
}

// A copy of the scripts library whose full path is exactly `length` units,
// in folders of its own beside the test program; removed with them.
class CLibraryCopyAtLength {
 public:
  explicit CLibraryCopyAtLength(size_t length) {
    std::wstring path = ProgramFolder() + L"long";
    CreateDirectoryW(path.c_str(), nullptr);
    m_folders.push_back(path);
    const std::wstring suffix = L".dll";
    while (length > path.size() + 1 + 100 + suffix.size()) {
      path += L"\\" + std::wstring(std::min<size_t>(100, length - path.size() - 1 - 100 - suffix.size()), L'd');
      CreateDirectoryW(path.c_str(), nullptr);
      m_folders.push_back(path);
    }
    m_path = path + L"\\" + std::wstring(length - path.size() - 1 - suffix.size(), L'n') + suffix;
    m_copied = CopyFileW(ScriptsLibraryPath().c_str(), m_path.c_str(), FALSE) != FALSE;
  }
  ~CLibraryCopyAtLength() {
    DeleteFileW(m_path.c_str());
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder) RemoveDirectoryW(folder->c_str());
  }
  const std::wstring& Path() const noexcept { return m_path; }
  bool Copied() const noexcept { return m_copied; }

 private:
  std::vector<std::wstring> m_folders;
  std::wstring m_path;
  bool m_copied = false;
};

TEST_F(ScriptLibrary, RefusesAPathThatFillsItsBuffer) {
  struct Case {
    size_t length;
    HRESULT expected;
  };
  const Case cases[] = {
      {MAX_PATH - 1, S_OK},
      {MAX_PATH, ResultFromWin32(ERROR_INSUFFICIENT_BUFFER)},  // 0x8007007A
      {MAX_PATH + 40, ResultFromWin32(ERROR_INSUFFICIENT_BUFFER)},
  };
  for (const Case& c : cases) {
    CLibraryCopyAtLength copy(c.length);
    ASSERT_TRUE(copy.Copied()) << c.length << ": " << GetLastError();
    ASSERT_EQ(c.length, copy.Path().size());
    CLibraryHandle library(LoadLibraryW(copy.Path().c_str()));
    ASSERT_TRUE(library.IsValid()) << c.length << ": " << GetLastError();
    CMemoryRegistry registry;
    EXPECT_EQ(c.expected, ApplyRegistryResource(library.Get(), kAppIdScriptId, true, kAppIdVariables, AddAppId,
                                                 nullptr, registry))
        << c.length;
    EXPECT_EQ(c.expected == S_OK, !registry.DumpAll().empty()) << c.length;
  }
}

TEST_F(ScriptLibrary, ReportsEveryLoadingFailureAndChangesNothing) {
  HRESULT refusal = E_ACCESSDENIED;
  CMemoryRegistry registry;
  EXPECT_EQ(E_ACCESSDENIED,
            ApplyRegistryResource(m_library.Get(), kAppIdScriptId, true, nullptr, RefuseToAdd, &refusal, registry));
  // An empty script fails in its conversion.
  EXPECT_EQ(ResultFromWin32(ERROR_INVALID_PARAMETER),
            ApplyRegistryResource(m_library.Get(), kEmptyScriptId, true, nullptr, AddAppId, nullptr, registry));
  EXPECT_EQ(ResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND),
            ApplyRegistryResource(m_library.Get(), 999, true, nullptr, AddAppId, nullptr, registry));
  // A module handle that names no module has no path.
  EXPECT_EQ(ResultFromWin32(ERROR_MOD_NOT_FOUND),
            ApplyRegistryResource(reinterpret_cast<HMODULE>(0x10), kAppIdScriptId, true, nullptr, AddAppId, nullptr,
                                  registry));

  CRegObject registrar;
  const std::wstring library = ScriptsLibraryPath();
  EXPECT_EQ(ResultFromWin32(ERROR_RESOURCE_TYPE_NOT_FOUND),
            RunScriptResource(registrar, library.c_str(), kAppIdScriptId, L"NOSUCHTYPE", true, registry));
  const std::wstring missing = ProgramFolder() + L"no such library.dll";
  const HRESULT hr = RunScriptResource(registrar, missing.c_str(), kAppIdScriptId, L"REGISTRY", true, registry);
  EXPECT_TRUE(hr == ResultFromWin32(ERROR_MOD_NOT_FOUND) || hr == ResultFromWin32(ERROR_FILE_NOT_FOUND)) << std::hex
                                                                                                         << hr;
  EXPECT_TRUE(registry.DumpAll().empty());
}

}  // namespace
}  // namespace quorvel
