// The component's two registry scripts: their stored bytes, and what they
// write and remove, on the in-memory registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ScriptBytes.h"
#include "platform/AnsiText.h"
#include "platform/PerUserRegistry.h"
#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "registrar/ScriptVariables.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RegistrationTable.h"

namespace quorvel {
namespace {

constexpr char16_t kModulePath[] = u"C:\\Program Files\\It's Quorvel\\quorvel.dll";
constexpr char kModulePathText[] = "C:\\Program Files\\It's Quorvel\\quorvel.dll";

struct Script {
  const char* name;
  const unsigned char* bytes;
  size_t size;
  uint64_t fingerprint;  // FNV-1a of the bytes
};

const Script kAppIdScript = {"AppId.rgs", kAppIdScriptBytes, sizeof(kAppIdScriptBytes), 0x5c7a5e4e75f9fe16ull};
const Script kClassScript = {"SelecterMenu.rgs", kSelecterMenuScriptBytes, sizeof(kSelecterMenuScriptBytes),
                             0xf5df085577864bd1ull};

uint64_t Fingerprint(const unsigned char* bytes, size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

TEST(RegistrationScripts, AreStoredAsAsciiWithCrLfAndNoTerminatingZero) {
  for (const Script& script : {kAppIdScript, kClassScript}) {
    const std::string text(reinterpret_cast<const char*>(script.bytes), script.size);
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char byte = static_cast<unsigned char>(text[i]);
      ASSERT_TRUE(byte == '\t' || byte == '\r' || byte == '\n' || (byte >= 0x20 && byte < 0x7F))
          << script.name << " byte " << i;
      if (byte == '\n') {
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << script.name << " byte " << i;
      }
      if (byte == '\r') {
        ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << script.name << " byte " << i;
      }
      // Lines are indented with tabs.
      if (i == 0 || text[i - 1] == '\n') {
        ASSERT_NE(' ', text[i]) << script.name << " byte " << i;
      }
    }
    EXPECT_EQ("}\r\n", text.substr(text.size() - 3)) << script.name;
    EXPECT_EQ(script.fingerprint, Fingerprint(script.bytes, script.size)) << script.name;
  }
}

class MemoryView : public IRegistryView {
 public:
  explicit MemoryView(const CMemoryRegistry& registry) : m_registry(registry) {}
  std::vector<std::string> DumpSubtree(HKEY root, const std::u16string& path) override {
    return m_registry.Dump(root, path.c_str());
  }
  std::string DescribeValueAt(HKEY root, const std::u16string& path, const std::u16string& name) override {
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!m_registry.GetValueAt(root, path.c_str(), name.c_str(), &type, &data)) return "";
    return CMemoryRegistry::RootLabel(root) + "\\" + AsciiText(path) + " \"" + AsciiText(name) +
           "\" = " + CMemoryRegistry::DescribeValue(type, data);
  }
  bool HasKey(HKEY root, const std::u16string& path) override { return m_registry.HasKey(root, path.c_str()); }

 private:
  const CMemoryRegistry& m_registry;
};

HRESULT AddAppId(void*, IRegistrarBase* registrar) { return registrar->AddVariable(u"APPID", kTestAppId); }

class RegistrationScriptsOnMemory : public ::testing::Test {
 protected:
  // Runs a script as the module does: the caller's pairs, the module's own
  // "APPID", then "Module" and "Module_Raw" for the component's path.
  HRESULT Run(const Script& script, bool registerFlag) {
    std::u16string text(script.size, u'\0');
    EXPECT_EQ(static_cast<int>(script.size),
              AnsiToUtf16(reinterpret_cast<const char*>(script.bytes), static_cast<int>(script.size), &text[0],
                          static_cast<int>(script.size)));
    CRegObject registrar;
    const RegistryVariable appIdOnly[] = {{u"APPID", kTestAppId}, {nullptr, nullptr}};
    AddCallerVariables(registrar, script.bytes == kAppIdScriptBytes ? appIdOnly : nullptr);
    EXPECT_EQ(S_OK, AddAppId(nullptr, &registrar));
    EXPECT_EQ(S_OK, AddModulePathVariables(registrar, kModulePath));
    HRESULT hr = E_FAIL;
    if (m_forUser) {
      CPerUserRegistry userRegistry(m_registry);
      EXPECT_EQ(0, userRegistry.OpenError());
      CRegScriptParser parser(registrar, userRegistry);
      hr = parser.ApplyScript(text.c_str(), registerFlag);
    } else {
      CRegScriptParser parser(registrar, m_registry);
      hr = parser.ApplyScript(text.c_str(), registerFlag);
    }
    EXPECT_EQ(0, m_registry.GetOpenHandleCount());
    return hr;
  }

  HRESULT RegisterBoth() {
    const HRESULT hr = Run(kAppIdScript, true);
    return FAILED(hr) ? hr : Run(kClassScript, true);
  }

  HRESULT RemoveBoth() {
    const HRESULT hr = Run(kClassScript, false);
    return FAILED(hr) ? hr : Run(kAppIdScript, false);
  }

  static std::vector<std::string> KeptKeyLines() {
    std::vector<std::string> lines;
    for (const RegistryPlace& key : KeptKeys()) lines.push_back(CMemoryRegistry::RootLabel(key.root) + "\\" + AsciiText(key.path));
    return lines;
  }

  CMemoryRegistry m_registry;
  MemoryView m_view{m_registry};
  bool m_forUser = false;  // through CPerUserRegistry
};

TEST_F(RegistrationScriptsOnMemory, WriteExactlyTheTableAndRemovalLeavesOnlyTheNoRemoveKeys) {
  ASSERT_EQ(S_OK, RegisterBoth());
  // The path's quote reads back single from the quoted '%MODULE%'.
  ExpectRegistered(m_view, kModulePathText);
  std::vector<std::string> everything = ExpectedOwnedLines(kModulePathText);
  for (const std::string& key : KeptKeyLines()) everything.push_back(key);
  for (const RegistryPlace& key : ApprovalKeys()) {
    everything.push_back(m_view.DescribeValueAt(key.root, key.path, kApprovalValueName));
  }
  std::vector<std::string> all = m_registry.DumpAll();
  std::sort(everything.begin(), everything.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(everything, all);  // nothing else was written

  ASSERT_EQ(S_OK, RemoveBoth());
  ExpectRemoved(m_view);
  std::vector<std::string> kept = KeptKeyLines();
  all = m_registry.DumpAll();
  std::sort(kept.begin(), kept.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(kept, all);
  // Removing what is not registered succeeds and changes nothing.
  ASSERT_EQ(S_OK, RemoveBoth());
  EXPECT_EQ(kept.size(), m_registry.DumpAll().size());
}

TEST_F(RegistrationScriptsOnMemory, RebuildTheClassAndHandlerKeysAndSpareOtherParties) {
  const char16_t* classKey = u"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}";
  const char16_t* otherHandler = u"*\\ShellEx\\ContextMenuHandlers\\OtherHandler";
  m_registry.SetStringAt(HKEY_CLASSES_ROOT, otherHandler, nullptr, u"{other}");
  ASSERT_EQ(S_OK, RegisterBoth());
  m_registry.CreateKeyPath(HKEY_CLASSES_ROOT, u"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\\Leftover");
  m_registry.CreateKeyPath(HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu\\Leftover");
  // Registering again: ForceRemove clears both subtrees first.
  ASSERT_EQ(S_OK, RegisterBoth());
  ExpectRegistered(m_view, kModulePathText);

  m_registry.CreateKeyPath(HKEY_CLASSES_ROOT, u"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\\Foreign");
  ASSERT_EQ(S_OK, RemoveBoth());
  // The class key stays for the subkey it still holds; only the script's
  // entries were taken out of it.
  EXPECT_EQ((std::vector<std::string>{
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}",
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15} @ = REG_SZ \"SelecterMenu Class\"",
                "HKCR\\CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\\Foreign",
            }),
            m_registry.Dump(HKEY_CLASSES_ROOT, classKey));
  EXPECT_EQ((std::vector<std::string>{"HKCR\\*\\ShellEx\\ContextMenuHandlers",
                                      "HKCR\\*\\ShellEx\\ContextMenuHandlers\\OtherHandler",
                                      "HKCR\\*\\ShellEx\\ContextMenuHandlers\\OtherHandler @ = REG_SZ \"{other}\""}),
            m_registry.Dump(HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers"));
}

TEST_F(RegistrationScriptsOnMemory, AFailingRootBlockOfTheClassScriptIsUndoneAlone) {
  ASSERT_EQ(S_OK, Run(kAppIdScript, true));
  // The first approval value is written in the third root block.
  m_registry.FailCall(RegistryCall::kSetValue, ERROR_ACCESS_DENIED, 1, kApprovalValueName);
  EXPECT_EQ(0x80070005, static_cast<uint32_t>(Run(kClassScript, true)));

  // Script 101 and the first two root blocks stay.
  for (const RegistryPlace& key : OwnedKeys()) EXPECT_TRUE(m_view.HasKey(key.root, key.path)) << AsciiText(key.path);
  const std::vector<RegistryPlace> approvals = ApprovalKeys();
  EXPECT_TRUE(m_view.HasKey(approvals[0].root, approvals[0].path));  // a NoRemove key stays
  EXPECT_EQ("", m_view.DescribeValueAt(approvals[0].root, approvals[0].path, kApprovalValueName));
  EXPECT_FALSE(m_view.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node"));  // never reached
}

// The same scripts for the current user alone: the classes in the user's
// Software\Classes, the approval in the user's Software key (once: the
// Wow6432Node block lands on the same key), nothing under the machine.
TEST_F(RegistrationScriptsOnMemory, ForTheUserWriteTheSameTableBeneathTheUsersKeysAlone) {
  m_forUser = true;
  ASSERT_EQ(S_OK, RegisterBoth());
  for (const std::string& line : m_registry.DumpAll()) EXPECT_EQ(0u, line.rfind("HKCU\\", 0)) << line;

  std::vector<std::string> lines;
  for (const RegistryPlace& key : OwnedKeys()) {
    for (const std::string& line : m_registry.Dump(HKEY_CURRENT_USER, (u"Software\\Classes\\" + std::u16string(key.path)).c_str())) {
      lines.push_back("HKCR\\" + line.substr(std::string("HKCU\\Software\\Classes\\").size()));
    }
  }
  EXPECT_EQ(ExpectedOwnedLines(kModulePathText), lines);
  const std::vector<std::string> approval = {
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved "
      "\"{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\" = REG_SZ \"Velmora\""};
  EXPECT_EQ(approval, m_registry.Dump(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"));
  EXPECT_TRUE(m_registry.Dump(HKEY_CURRENT_USER, u"Software\\Wow6432Node").empty());

  // Removal leaves the user's NoRemove keys and nothing else; the user's
  // Software key, reached through the Wow6432Node block too, stays.
  ASSERT_EQ(S_OK, RemoveBoth());
  for (const std::string& line : m_registry.DumpAll()) {
    EXPECT_EQ(std::string::npos, line.find('=')) << line;
    EXPECT_EQ(0u, line.rfind("HKCU\\Software", 0)) << line;
  }
  EXPECT_FALSE(m_registry.Dump(HKEY_CURRENT_USER, u"Software\\Classes\\CLSID").empty());
}

// A step that the user's registry refuses half-way undoes its root block
// there and touches no machine key.
TEST_F(RegistrationScriptsOnMemory, ForTheUserAFailingBlockIsUndoneInTheUsersKeys) {
  m_forUser = true;
  ASSERT_EQ(S_OK, Run(kAppIdScript, true));
  m_registry.FailCall(RegistryCall::kCreateKey, 5, 1, u"QVLv1.0ContextMenu");
  EXPECT_EQ(0x80070005, static_cast<uint32_t>(Run(kClassScript, true)));
  for (const std::string& line : m_registry.DumpAll()) EXPECT_EQ(0u, line.rfind("HKCU\\", 0)) << line;
  EXPECT_FALSE(m_registry.Dump(HKEY_CURRENT_USER, u"Software\\Classes\\Quorvel.SelecterMenu").empty());
  EXPECT_TRUE(m_registry.Dump(HKEY_CURRENT_USER, u"Software\\Classes\\*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu").empty());
}

TEST(PerUserRegistry, NeverDeletesTheUsersSoftwareKeyThroughTheWow64Alias) {
  CMemoryRegistry store;
  ASSERT_TRUE(store.CreateKeyPath(HKEY_CURRENT_USER, u"Software\\Microsoft"));
  CPerUserRegistry user(store);
  HKEY software = nullptr;
  ASSERT_EQ(0, user.OpenKey(HKEY_LOCAL_MACHINE, u"Software", KEY_READ, &software));
  EXPECT_EQ(5, user.DeleteKey(software, u"WOW6432NODE"));
  HKEY alias = nullptr;
  ASSERT_EQ(0, user.OpenKey(software, u"Wow6432Node", KEY_READ, &alias));
  uint32_t count = 0;
  EXPECT_EQ(0, user.QuerySubkeyCount(alias, &count));
  EXPECT_EQ(2u, count);  // Classes and Microsoft: the user's Software key itself
  user.CloseKey(alias);
  user.CloseKey(software);
  // Once the machine's Software handle is closed, the name is an ordinary one.
  HKEY other = nullptr;
  ASSERT_EQ(0, user.CreateKey(HKEY_CURRENT_USER, u"Software", KEY_READ, &other));
  EXPECT_EQ(2, user.OpenKey(other, u"Wow6432Node", KEY_READ, &alias));
  user.CloseKey(other);
}

}  // namespace
}  // namespace quorvel
