// What the component's two registry scripts write and what their removal
// leaves, checked on any registry that a test can look into.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RegistryTypes.h"

namespace quorvel {

constexpr char16_t kTestAppId[] = u"{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}";

// A registry as the checks below see it. Lines have the form of
// CMemoryRegistry::Dump: "HKCR\A\B" for a key, `HKCR\A\B @ = REG_SZ "x"` and
// `HKCR\A\B "Name" = REG_SZ "x"` for values, a key's values after it and its
// subkeys after them, in name order.
class IRegistryView {
 public:
  virtual ~IRegistryView() = default;
  // The subtree at `path`; no lines when the key is missing.
  virtual std::vector<std::string> DumpSubtree(HKEY root, const std::u16string& path) = 0;
  // The line of one value, or "" when it is missing.
  virtual std::string DescribeValueAt(HKEY root, const std::u16string& path, const std::u16string& name) = 0;
  virtual bool HasKey(HKEY root, const std::u16string& path) = 0;
};

struct RegistryPlace {
  HKEY root;
  const char16_t* path;
};

inline std::string AsciiText(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// The keys the scripts own: each is written whole and removed whole.
inline std::vector<RegistryPlace> OwnedKeys() {
  return {
      {HKEY_CLASSES_ROOT, u"AppID\\{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}"},
      {HKEY_CLASSES_ROOT, u"AppID\\Quorvel.DLL"},
      {HKEY_CLASSES_ROOT, u"Quorvel.SelecterMenu.1"},
      {HKEY_CLASSES_ROOT, u"Quorvel.SelecterMenu"},
      {HKEY_CLASSES_ROOT, u"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}"},
      {HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu"},
  };
}

// The subtrees of OwnedKeys after registration, in the same order.
inline std::vector<std::string> ExpectedOwnedLines(const std::string& modulePath) {
  const std::string appId = "{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}";
  const std::string clsid = "{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}";
  const std::string classKey = "HKCR\\CLSID\\" + clsid;
  const std::string handler = "HKCR\\*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu";
  return {
      "HKCR\\AppID\\" + appId,
      "HKCR\\AppID\\" + appId + " @ = REG_SZ \"Quorvel\"",
      "HKCR\\AppID\\Quorvel.DLL",
      "HKCR\\AppID\\Quorvel.DLL \"AppID\" = REG_SZ \"" + appId + "\"",
      "HKCR\\Quorvel.SelecterMenu.1",
      "HKCR\\Quorvel.SelecterMenu.1 @ = REG_SZ \"SelecterMenu Class\"",
      "HKCR\\Quorvel.SelecterMenu.1\\CLSID",
      "HKCR\\Quorvel.SelecterMenu.1\\CLSID @ = REG_SZ \"" + clsid + "\"",
      "HKCR\\Quorvel.SelecterMenu",
      "HKCR\\Quorvel.SelecterMenu @ = REG_SZ \"SelecterMenu Class\"",
      "HKCR\\Quorvel.SelecterMenu\\CLSID",
      "HKCR\\Quorvel.SelecterMenu\\CLSID @ = REG_SZ \"" + clsid + "\"",
      "HKCR\\Quorvel.SelecterMenu\\CurVer",
      "HKCR\\Quorvel.SelecterMenu\\CurVer @ = REG_SZ \"Quorvel.SelecterMenu.1\"",
      classKey,
      classKey + " @ = REG_SZ \"SelecterMenu Class\"",
      classKey + " \"AppID\" = REG_SZ \"" + appId + "\"",
      classKey + "\\InprocServer32",
      classKey + "\\InprocServer32 @ = REG_SZ \"" + modulePath + "\"",
      classKey + "\\InprocServer32 \"ThreadingModel\" = REG_SZ \"Apartment\"",
      classKey + "\\ProgID",
      classKey + "\\ProgID @ = REG_SZ \"Quorvel.SelecterMenu.1\"",
      classKey + "\\Programmable",
      classKey + "\\TypeLib",
      classKey + "\\TypeLib @ = REG_SZ \"{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}\"",
      classKey + "\\VersionIndependentProgID",
      classKey + "\\VersionIndependentProgID @ = REG_SZ \"Quorvel.SelecterMenu\"",
      handler,
      handler + " @ = REG_SZ \"" + clsid + "\"",
  };
}

// The shell's approval lists, each with one value named by the class.
inline std::vector<RegistryPlace> ApprovalKeys() {
  return {
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
  };
}
constexpr char16_t kApprovalValueName[] = u"{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}";

// The keys marked NoRemove: created when missing, never removed.
inline std::vector<RegistryPlace> KeptKeys() {
  return {
      {HKEY_CLASSES_ROOT, u"AppID"},
      {HKEY_CLASSES_ROOT, u"CLSID"},
      {HKEY_CLASSES_ROOT, u"*"},
      {HKEY_CLASSES_ROOT, u"*\\ShellEx"},
      {HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers"},
      {HKEY_LOCAL_MACHINE, u"Software"},
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft"},
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows"},
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion"},
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"},
      {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft\\Windows"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"},
      {HKEY_LOCAL_MACHINE, u"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
  };
}

// After scripts 101 and 103 were applied: every key, value, type and datum.
inline void ExpectRegistered(IRegistryView& view, const std::string& modulePath) {
  std::vector<std::string> lines;
  for (const RegistryPlace& key : OwnedKeys()) {
    const std::vector<std::string> subtree = view.DumpSubtree(key.root, key.path);
    lines.insert(lines.end(), subtree.begin(), subtree.end());
  }
  EXPECT_EQ(ExpectedOwnedLines(modulePath), lines);
  for (const RegistryPlace& key : ApprovalKeys()) {
    EXPECT_EQ("HKLM\\" + AsciiText(key.path) + " \"" + AsciiText(kApprovalValueName) + "\" = REG_SZ \"Velmora\"",
              view.DescribeValueAt(key.root, key.path, kApprovalValueName));
  }
  for (const RegistryPlace& key : KeptKeys()) EXPECT_TRUE(view.HasKey(key.root, key.path)) << AsciiText(key.path);
}

// How 64-bit Windows (7 and later) keeps a key in its two registry views,
// after Microsoft's "Registry Keys Affected by WOW64": HKEY_CLASSES_ROOT is
// one key for both views but for its redirected subkeys CLSID and Interface
// (and others the scripts do not touch); HKEY_LOCAL_MACHINE\Software is
// redirected, a 32-bit program's Software\X being Software\Wow6432Node\X.
inline bool SharedBetweenViews(const RegistryPlace& key) {
  if (key.root != HKEY_CLASSES_ROOT) return false;
  const std::u16string path = key.path;
  std::string first = AsciiText(path.substr(0, path.find(u'\\')));
  for (char& c : first) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  return first != "clsid" && first != "interface";
}

// After scripts 101 and 103 were applied by a 32-bit program on 64-bit
// Windows, and nothing of the component in the 64-bit view before: the
// 64-bit view holds the shared keys exactly as the 32-bit view does, none of
// the redirected ones, and the approval in the 32-bit programs' list alone
// (the script's native path is that list for a 32-bit program).
inline void Expect32BitRegistrationSeenFrom64BitView(IRegistryView& view32, IRegistryView& view64) {
  for (const RegistryPlace& key : OwnedKeys()) {
    if (SharedBetweenViews(key)) {
      EXPECT_EQ(view32.DumpSubtree(key.root, key.path), view64.DumpSubtree(key.root, key.path)) << AsciiText(key.path);
    } else {
      EXPECT_FALSE(view64.HasKey(key.root, key.path)) << AsciiText(key.path) << " is redirected";
    }
  }
  const std::vector<RegistryPlace> approvals = ApprovalKeys();
  EXPECT_EQ("", view64.DescribeValueAt(approvals[0].root, approvals[0].path, kApprovalValueName));
  EXPECT_EQ(view32.DescribeValueAt(approvals[1].root, approvals[1].path, kApprovalValueName),
            view64.DescribeValueAt(approvals[1].root, approvals[1].path, kApprovalValueName));
}

// After both scripts were removed: the owned keys and the approvals are gone,
// the NoRemove keys stay.
inline void ExpectRemoved(IRegistryView& view) {
  for (const RegistryPlace& key : OwnedKeys()) EXPECT_FALSE(view.HasKey(key.root, key.path)) << AsciiText(key.path);
  for (const RegistryPlace& key : ApprovalKeys()) {
    EXPECT_EQ("", view.DescribeValueAt(key.root, key.path, kApprovalValueName)) << AsciiText(key.path);
  }
  for (const RegistryPlace& key : KeptKeys()) EXPECT_TRUE(view.HasKey(key.root, key.path)) << AsciiText(key.path);
}

}  // namespace quorvel
