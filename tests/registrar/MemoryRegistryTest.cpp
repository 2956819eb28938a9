// The in-memory registry behaves as the interpreter relies on the real one to.
#include "tests/support/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

TEST(MemoryRegistry, NamesMatchWithoutRegardToCaseAndKeepTheirCase) {
  CMemoryRegistry registry;
  HKEY key = nullptr;
  ASSERT_EQ(0, registry.CreateKey(HKEY_CLASSES_ROOT, u"Quorvel\\ShellEx", KEY_READ | KEY_WRITE, &key));
  const std::vector<uint8_t> data = Utf16Bytes(u"x");
  EXPECT_EQ(0, registry.SetValue(key, u"Name", REG_SZ, data.data(), static_cast<uint32_t>(data.size())));
  EXPECT_EQ(0, registry.SetValue(key, u"NAME", REG_SZ, data.data(), static_cast<uint32_t>(data.size())));
  EXPECT_EQ(0, registry.CloseKey(key));

  HKEY again = nullptr;
  EXPECT_EQ(0, registry.OpenKey(HKEY_CLASSES_ROOT, u"QUORVEL\\shellex", KEY_READ, &again));
  char16_t name[256];
  uint32_t length = 256;
  HKEY parent = nullptr;
  ASSERT_EQ(0, registry.OpenKey(HKEY_CLASSES_ROOT, u"quorvel", KEY_READ, &parent));
  EXPECT_EQ(0, registry.EnumKey(parent, 0, name, &length));
  EXPECT_EQ(std::u16string(u"ShellEx"), std::u16string(name, length));
  length = 256;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, registry.EnumKey(parent, 1, name, &length));
  length = 7;  // no room for the terminating zero
  EXPECT_EQ(ERROR_MORE_DATA, registry.EnumKey(parent, 0, name, &length));
  EXPECT_EQ(0, registry.CloseKey(again));
  EXPECT_EQ(0, registry.CloseKey(parent));

  EXPECT_EQ((std::vector<std::string>{"HKCR\\Quorvel", "HKCR\\Quorvel\\ShellEx",
                                      "HKCR\\Quorvel\\ShellEx \"Name\" = REG_SZ \"x\""}),
            registry.DumpAll());
  EXPECT_EQ(0, registry.GetOpenHandleCount());
}

TEST(MemoryRegistry, HandlesCarryTheirAccessAndOutliveTheirKey) {
  CMemoryRegistry registry;
  ASSERT_TRUE(registry.CreateKeyPath(HKEY_CURRENT_USER, u"A\\B"));
  CRegistryKey readOnly(registry);
  ASSERT_EQ(0, registry.OpenKey(HKEY_CURRENT_USER, u"A", KEY_READ, readOnly.Receive()));
  const uint8_t byte = 1;
  EXPECT_EQ(ERROR_ACCESS_DENIED, registry.SetValue(readOnly.Get(), nullptr, REG_BINARY, &byte, 1));
  HKEY created = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, registry.CreateKey(readOnly.Get(), u"New", KEY_READ, &created));
  EXPECT_EQ(0, registry.CreateKey(readOnly.Get(), u"B", KEY_READ, &created));  // opening needs no right
  EXPECT_EQ(0, registry.CloseKey(created));

  // A key with subkeys cannot be deleted; one without can, even while open.
  EXPECT_EQ(ERROR_ACCESS_DENIED, registry.DeleteKey(HKEY_CURRENT_USER, u"A"));
  EXPECT_EQ(0, registry.DeleteKey(readOnly.Get(), u"B"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, registry.DeleteKey(readOnly.Get(), u"B"));
  EXPECT_EQ(0, registry.DeleteKey(HKEY_CURRENT_USER, u"a"));
  uint32_t count = 0;
  EXPECT_EQ(ERROR_KEY_DELETED, registry.QuerySubkeyCount(readOnly.Get(), &count));
  EXPECT_EQ(ERROR_INVALID_HANDLE, registry.QuerySubkeyCount(nullptr, &count));
  EXPECT_EQ(ERROR_ACCESS_DENIED, registry.DeleteKey(HKEY_CURRENT_USER, u""));  // a root stays
  EXPECT_EQ(0, readOnly.Close());
  EXPECT_EQ(ERROR_INVALID_HANDLE, registry.CloseKey(reinterpret_cast<HKEY>(0x1000)));
}

TEST(MemoryRegistry, FailsTheChosenCallOnly) {
  CMemoryRegistry registry;
  registry.FailCall(RegistryCall::kCreateKey, ERROR_ACCESS_DENIED, 2, u"Target");
  HKEY key = nullptr;
  EXPECT_EQ(0, registry.CreateKey(HKEY_CURRENT_USER, u"Other", KEY_READ, &key));  // another subject
  EXPECT_EQ(0, registry.CloseKey(key));
  EXPECT_EQ(0, registry.CreateKey(HKEY_CURRENT_USER, u"TARGET", KEY_READ, &key));  // the first occurrence
  EXPECT_EQ(0, registry.CloseKey(key));
  EXPECT_EQ(0, registry.DeleteKey(HKEY_CURRENT_USER, u"Target"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, registry.CreateKey(HKEY_CURRENT_USER, u"Target", KEY_READ, &key));
  EXPECT_FALSE(registry.HasKey(HKEY_CURRENT_USER, u"Target"));  // a failed call changes nothing
  EXPECT_EQ(0, registry.CreateKey(HKEY_CURRENT_USER, u"Target", KEY_READ, &key));  // spent
  EXPECT_EQ(0, registry.CloseKey(key));
  EXPECT_EQ(4, registry.GetCallCount(RegistryCall::kCreateKey));

  registry.FailCall(RegistryCall::kQuerySubkeyCount, 1018, 0);  // every call
  uint32_t count = 0;
  EXPECT_EQ(1018, registry.QuerySubkeyCount(HKEY_CURRENT_USER, &count));
  EXPECT_EQ(1018, registry.QuerySubkeyCount(HKEY_CURRENT_USER, &count));
  registry.ClearFailures();
  EXPECT_EQ(0, registry.QuerySubkeyCount(HKEY_CURRENT_USER, &count));
  EXPECT_EQ(2u, count);
}

}  // namespace
}  // namespace quorvel
