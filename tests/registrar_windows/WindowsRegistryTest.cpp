// The script interpreter on the real registry of the Wine prefix, beneath a
// scratch key of the current user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/WindowsRegistry.h"
#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/ValueTypeCases.h"

namespace quorvel {
namespace {

constexpr bool kRegister = true;
constexpr bool kRemove = false;
constexpr wchar_t kScratch[] = L"Software\\QuorvelRegistrarTest";
const std::string kScratchLabel = "HKCU\\Software\\QuorvelRegistrarTest";

class RealRegistry : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }

  static void Clear() {
    const LONG error = RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ASSERT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << error;
    ASSERT_TRUE(CreateRealKey(HKEY_CURRENT_USER, kScratch));
  }

  // Applies `body` as the entries beneath the scratch key.
  static HRESULT Apply(const std::u16string& body, bool registerFlag) {
    return ApplyText(u"HKCU { NoRemove Software { NoRemove QuorvelRegistrarTest { " + body + u" } } }",
                     registerFlag);
  }

  static HRESULT ApplyText(const std::u16string& script, bool registerFlag) {
    CRegObject registrar;
    CRegScriptParser parser(registrar, WindowsRegistry());
    return parser.ApplyScript(script.c_str(), registerFlag);
  }

  // The scratch key's subtree, its own line left out.
  std::vector<std::string> Scratch() {
    std::vector<std::string> lines = m_view.DumpSubtree(HKEY_CURRENT_USER, u"Software\\QuorvelRegistrarTest");
    if (!lines.empty()) lines.erase(lines.begin());
    for (std::string& line : lines) line.replace(0, kScratchLabel.size(), "T");
    return lines;
  }

  static std::wstring Path(const wchar_t* below) { return std::wstring(kScratch) + L"\\" + below; }

  CRealRegistryView m_view;
};

TEST_F(RealRegistry, StoresEachValueTypeWithItsExactBytes) {
  for (const ValueTypeCase& c : kValueTypeCases) {
    const std::u16string body = u"k = " + std::u16string(c.assignment) + u" { val 'v 1' = " + c.assignment + u" }";
    ASSERT_EQ(S_OK, Apply(body, kRegister)) << AsciiText(body);
    EXPECT_EQ((std::vector<std::string>{"T\\k", "T\\k @ = " + std::string(c.stored),
                                        "T\\k \"v 1\" = " + std::string(c.stored)}),
              Scratch())
        << AsciiText(body);
    ASSERT_EQ(S_OK, Apply(u"k", kRemove));
    EXPECT_TRUE(Scratch().empty());
  }
}

TEST_F(RealRegistry, RegisteringTwiceOpensTheKeysAgainAndReplacesTheirValues) {
  ASSERT_TRUE(SetRealString(HKEY_CURRENT_USER, Path(L"Quorvel"), nullptr, L"old"));
  ASSERT_TRUE(SetRealString(HKEY_CURRENT_USER, Path(L"Quorvel"), L"Other", L"kept"));
  const std::u16string body = u"Quorvel = s 'new' { val Count = d '2' Sub }";
  const std::vector<std::string> expected = {
      "T\\Quorvel",
      "T\\Quorvel @ = REG_SZ \"new\"",
      "T\\Quorvel \"Count\" = REG_DWORD 02 00 00 00",
      "T\\Quorvel \"Other\" = REG_SZ \"kept\"",
      "T\\Quorvel\\Sub",
  };
  ASSERT_EQ(S_OK, Apply(body, kRegister));
  EXPECT_EQ(expected, Scratch());
  ASSERT_EQ(S_OK, Apply(body, kRegister));
  EXPECT_EQ(expected, Scratch());
}

TEST_F(RealRegistry, ForceRemoveRebuildsTheSubtreeAndDeleteOnlyDeletes) {
  ASSERT_TRUE(SetRealString(HKEY_CURRENT_USER, Path(L"Forced\\Old\\Deeper"), L"x", L"old"));
  ASSERT_TRUE(SetRealString(HKEY_CURRENT_USER, Path(L"Forced"), L"Stale", L"old"));
  ASSERT_TRUE(CreateRealKey(HKEY_CURRENT_USER, Path(L"Gone\\Sub\\Deeper")));
  ASSERT_EQ(S_OK, Apply(u"ForceRemove Forced = s 'new' { New } Delete Gone = s 'never written' Delete Missing",
                        kRegister));
  EXPECT_EQ((std::vector<std::string>{"T\\Forced", "T\\Forced @ = REG_SZ \"new\"", "T\\Forced\\New"}), Scratch());
}

TEST_F(RealRegistry, NeverForceDeletesAProtectedNameAtAnyDepth) {
  const wchar_t* const names[] = {L"AppID",    L"CLSID", L"Component Categories", L"FileType",
                                  L"Interface", L"Hardware", L"Mime", L"SAM", L"SECURITY", L"SYSTEM",
                                  L"Software",  L"TypeLib"};
  for (const wchar_t* name : names) {
    ASSERT_TRUE(CreateRealKey(HKEY_CURRENT_USER, Path(name) + L"\\Foreign"));
    const std::u16string quoted = u"'" + std::u16string(AsUtf16(name)) + u"'";
    ASSERT_EQ(S_OK, Apply(u"ForceRemove " + quoted + u" { Mine } Delete " + quoted, kRegister));
    EXPECT_TRUE(m_view.HasKey(HKEY_CURRENT_USER, AsUtf16((Path(name) + L"\\Foreign").c_str()))) << PrintableName(name);
    EXPECT_TRUE(m_view.HasKey(HKEY_CURRENT_USER, AsUtf16((Path(name) + L"\\Mine").c_str()))) << PrintableName(name);
  }
}

TEST_F(RealRegistry, RemovalKeepsNoRemoveKeysAndKeysWithOtherSubkeys) {
  const std::u16string body =
      u"NoRemove Shared { Mine = s 'x' { val V = s 'v' NoRemove val Kept = s 'k' } Busy { Sub } } "
      u"NoRemove Held = s 'd' { val V = d 1 Inner } Alone";
  ASSERT_EQ(S_OK, Apply(body, kRegister));
  ASSERT_TRUE(CreateRealKey(HKEY_CURRENT_USER, Path(L"Shared\\Busy\\Foreign")));
  ASSERT_TRUE(CreateRealKey(HKEY_CURRENT_USER, Path(L"Shared\\Neighbour")));

  ASSERT_EQ(S_OK, Apply(body, kRemove));
  const std::vector<std::string> left = {
      "T\\Held", "T\\Held @ = REG_SZ \"d\"", "T\\Shared", "T\\Shared\\Busy", "T\\Shared\\Busy\\Foreign",
      "T\\Shared\\Neighbour",
  };
  EXPECT_EQ(left, Scratch());
  // Removing again, and removing what was never there, changes nothing.
  ASSERT_EQ(S_OK, Apply(body, kRemove));
  ASSERT_EQ(S_OK, Apply(u"Never { Registered = s 'x' { val V = s 'v' } }", kRemove));
  EXPECT_EQ(left, Scratch());
}

TEST_F(RealRegistry, UndoesOnlyTheRootBlockThatFailed) {
  const std::u16string script =
      u"HKCU { NoRemove Software { NoRemove QuorvelRegistrarTest { First = s '1' } } }\r\n"
      u"HKCU { NoRemove Software { NoRemove QuorvelRegistrarTest { Second = s '2' { val v = q 'bad' } } } }";
  EXPECT_EQ(DISP_E_EXCEPTION, ApplyText(script, kRegister));
  EXPECT_EQ((std::vector<std::string>{"T\\First", "T\\First @ = REG_SZ \"1\""}), Scratch());
}

}  // namespace
}  // namespace quorvel
