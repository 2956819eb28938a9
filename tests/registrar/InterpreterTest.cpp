// The script interpreter on the in-memory registry: grammar, nesting, and
// every registry error path; what it writes and removes, as on the real
// registry, in the suite of InterpreterOnAnyRegistry.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/registrar/InterpreterOnAnyRegistry.h"

namespace quorvel {
namespace {

constexpr bool kRegister = true;
constexpr bool kRemove = false;

std::string Ascii(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

// The in-memory registry as a store of the shared suite: scripts run at the
// root of HKCU.
class CMemoryStore {
 public:
  IRegistry& Registry() noexcept { return m_registry; }
  static std::u16string Script(const std::u16string& body) { return u"HKCU { " + body + u" }"; }
  std::vector<std::string> Dump() const {
    std::vector<std::string> lines = m_registry.Dump(HKEY_CURRENT_USER);
    if (!lines.empty()) lines.erase(lines.begin());
    for (std::string& line : lines) line.replace(0, 4, "T");
    return lines;
  }
  void CreateKey(const std::u16string& path) { m_registry.CreateKeyPath(HKEY_CURRENT_USER, path.c_str()); }
  void SetString(const std::u16string& path, const char16_t* name, const std::u16string& text) {
    m_registry.SetStringAt(HKEY_CURRENT_USER, path.c_str(), name, text.c_str());
  }
  bool HasKey(const std::u16string& path) const { return m_registry.HasKey(HKEY_CURRENT_USER, path.c_str()); }

 private:
  CMemoryRegistry m_registry;
};

INSTANTIATE_TYPED_TEST_SUITE_P(InterpreterOnMemoryRegistry, InterpreterOnAnyRegistry, CMemoryStore);

class Interpreter : public ::testing::Test {
 protected:
  // Applies a script with a fresh parser; no key handle may stay open.
  HRESULT Apply(const std::u16string& script, bool registerFlag) {
    CRegScriptParser parser(m_registrar, m_registry);
    const HRESULT hr = parser.ApplyScript(script.c_str(), registerFlag);
    EXPECT_EQ(0, m_registry.GetOpenHandleCount()) << Ascii(script);
    return hr;
  }

  std::vector<std::string> All() const { return m_registry.DumpAll(); }

  CMemoryRegistry m_registry;
  CRegObject m_registrar;
};

TEST_F(Interpreter, RefusesBrokenScriptsAndUndoesWhatTheyBegan) {
  struct Case {
    const char16_t* script;
    HRESULT expected;
    // What stays after the undo: the undo walk reads the same text and stops
    // where it breaks, so keys written before such a break stay.
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {u"HKXX { k }", DISP_E_EXCEPTION, {}},                    // not a root name
      {u"HKCR{ k }", DISP_E_EXCEPTION, {}},                     // one token, no root name
      {u"HKCR k }", DISP_E_EXCEPTION, {}},                      // no { after the root
      {u"HKCR", DISP_E_EXCEPTION, {}},
      {u" \r\n\t", DISP_E_EXCEPTION, {}},                       // whitespace alone
      {u"HKCR { a ForceRemove b\\c }", DISP_E_EXCEPTION, {}},  // a path, not a key name
      {u"HKCR { a = x 'v' }", DISP_E_EXCEPTION, {}},            // not a type letter
      {u"HKCR { a = sz 'v' }", DISP_E_EXCEPTION, {}},
      {u"HKCR { a { val b = b '0aF' } }", E_FAIL, {}},          // odd count of hex digits
      {u"HKCR { a = s '%Nope%' }", DISP_E_EXCEPTION, {}},       // unknown variable
      {u"HKCR { a = s '%N2345678901234567890123456789012%' }", E_FAIL, {}},
      {u"HKCR { a { b\\c } }", DISP_E_EXCEPTION, {"HKCR\\a"}},
      {u"HKCR { a { '' = s 'v' } }", DISP_E_EXCEPTION, {"HKCR\\a"}},  // an empty key name
      {u"HKCR { a { ForceRemove '' } }", DISP_E_EXCEPTION, {"HKCR\\a"}},
      {u"HKCR { a { val v s 'x' } }", DISP_E_EXCEPTION, {"HKCR\\a"}},  // no = after the value name
      {u"HKCR { a { val v } }", DISP_E_EXCEPTION, {"HKCR\\a"}},
      {u"HKCR { a = s 'open }", DISP_E_EXCEPTION, {"HKCR\\a"}},  // quote not closed
      {u"HKCR { a { b = s 'v'", DISP_E_EXCEPTION,                  // no closing }
       {"HKCR\\a", "HKCR\\a\\b", "HKCR\\a\\b @ = REG_SZ \"v\""}},
  };
  for (const Case& c : cases) {
    CMemoryRegistry registry;
    CRegScriptParser parser(m_registrar, registry);
    EXPECT_EQ(c.expected, parser.ApplyScript(c.script, kRegister)) << Ascii(c.script);
    EXPECT_EQ(c.left, registry.DumpAll()) << Ascii(c.script);
    EXPECT_EQ(0, registry.GetOpenHandleCount()) << Ascii(c.script);
  }
  EXPECT_EQ(S_OK, Apply(u"", kRegister));
  EXPECT_EQ(S_OK, Apply(u"", kRemove));
}

TEST_F(Interpreter, ReadsKeywordsWithoutRegardToCaseOrQuotes) {
  ASSERT_EQ(S_OK, Apply(u"HKEY_CURRENT_USER { 'NOREMOVE' Kept { VAL 'Val' = s 'named Val' "
                        u"{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15} = s 'guid' }x } hkcu { Other }",
                        kRegister));
  EXPECT_EQ((std::vector<std::string>{
                "HKCU\\Kept",
                "HKCU\\Kept \"Val\" = REG_SZ \"named Val\"",
                "HKCU\\Kept\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}",
                "HKCU\\Kept\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15} @ = REG_SZ \"guid\"",
                "HKCU\\Other",
            }),
            All());
}

TEST_F(Interpreter, ReadsTheBlockOfAMissingKeyWithoutTouchingTheRegistry) {
  ASSERT_EQ(S_OK, Apply(u"HKCU { Missing { A { val V = s 'x' B } ForceRemove C } }", kRemove));
  EXPECT_EQ(1, m_registry.GetCallCount(RegistryCall::kOpenKey));
  EXPECT_EQ(0, m_registry.GetCallCount(RegistryCall::kDeleteValue));
  EXPECT_EQ(0, m_registry.GetCallCount(RegistryCall::kDeleteKey));
  // What fails inside a block read in skip mode is passed over.
  EXPECT_EQ(S_OK, Apply(u"HKCU { Missing { val v } }", kRemove));
}

TEST_F(Interpreter, KeepsTheWholeNameOfAKeyToRemove) {
  // Names beyond MAX_PATH - 1 units: removal deletes the key named, not one
  // whose name is the first 259 units of it.
  const std::u16string longName(300, u'n');
  const std::u16string cutName(259, u'n');
  m_registry.CreateKeyPath(HKEY_CURRENT_USER, longName.c_str());
  m_registry.CreateKeyPath(HKEY_CURRENT_USER, cutName.c_str());
  ASSERT_EQ(S_OK, Apply(u"HKCU { " + longName + u" }", kRemove));
  EXPECT_FALSE(m_registry.HasKey(HKEY_CURRENT_USER, longName.c_str()));
  EXPECT_TRUE(m_registry.HasKey(HKEY_CURRENT_USER, cutName.c_str()));
}

TEST_F(Interpreter, WalksABlockWithoutKeyEntryBeneathTheLevelsCurrentKey) {
  ASSERT_EQ(S_OK, Apply(u"HKCU { k { a val v = s 'x' { sub } } }", kRegister));
  EXPECT_TRUE(m_registry.HasKey(HKEY_CURRENT_USER, u"k\\a\\sub"));
  // With no key opened at that level yet there is no key to write beneath.
  EXPECT_EQ(0x80070006, static_cast<uint32_t>(Apply(u"HKCU { j { val v = s 'x' { sub } } }", kRegister)));
  EXPECT_FALSE(m_registry.HasKey(HKEY_CURRENT_USER, u"j"));
  // Removal only reads through such blocks.
  ASSERT_EQ(S_OK, Apply(u"HKCU { k { a val v = s 'x' { sub } } }", kRemove));
  EXPECT_TRUE(m_registry.HasKey(HKEY_CURRENT_USER, u"k\\a\\sub"));
}

TEST_F(Interpreter, NestsAsDeepAsTheRegistryAndRefusesDeeper) {
  auto nested = [](int depth) {
    std::u16string script = u"HKCU {";
    for (int i = 1; i < depth; ++i) script += u" k {";
    for (int i = 0; i < depth; ++i) script += u" }";
    return script;
  };
  const std::u16string deepest = nested(CRegScriptParser::kMaxBlockDepth);
  ASSERT_EQ(S_OK, Apply(deepest, kRegister));
  EXPECT_EQ(static_cast<size_t>(CRegScriptParser::kMaxBlockDepth - 1), All().size());
  ASSERT_EQ(S_OK, Apply(deepest, kRemove));
  EXPECT_TRUE(All().empty());

  EXPECT_EQ(DISP_E_EXCEPTION, Apply(nested(CRegScriptParser::kMaxBlockDepth + 1), kRegister));
  // Far deeper text fails as cleanly, in both modes.
  std::u16string flood = u"HKCU { ";
  for (int i = 0; i < 100000; ++i) flood += u"k { ";
  EXPECT_EQ(DISP_E_EXCEPTION, Apply(flood, kRegister));
  EXPECT_EQ(DISP_E_EXCEPTION, Apply(flood, kRemove));
}

TEST_F(Interpreter, UndoesOnlyTheRootBlockWhoseRegistryCallFailed) {
  m_registry.CreateKeyPath(HKEY_LOCAL_MACHINE, u"Existing");
  m_registry.FailCall(RegistryCall::kSetValue, ERROR_ACCESS_DENIED, 1, u"Second");
  const std::u16string script =
      u"HKCU { First = s '1' { val A = s 'a' } }\r\n"
      u"HKLM { NoRemove Kept { Made = s 'm' } Existing { val Second = s '2' } Never = s 'n' }\r\n"
      u"HKCR { Third }";
  EXPECT_EQ(0x80070005, static_cast<uint32_t>(Apply(script, kRegister)));
  // The first block stays; the second is walked again in removal mode, which
  // also takes the empty key that was there before; the third never ran.
  EXPECT_EQ((std::vector<std::string>{"HKCU\\First", "HKCU\\First @ = REG_SZ \"1\"",
                                      "HKCU\\First \"A\" = REG_SZ \"a\"", "HKLM\\Kept"}),
            All());
}

TEST_F(Interpreter, ReturnsTheCodeOfEveryFailingRegistryCall) {
  struct Case {
    const char* what;
    bool registerFlag;  // removal cases start from the script registered
    RegistryCall call;
    const char16_t* subject;
    int occurrence;
    long error;
    HRESULT expected;
  };
  const long denied = ERROR_ACCESS_DENIED;
  const HRESULT deniedResult = static_cast<HRESULT>(0x80070005);
  const Case cases[] = {
      {"create", kRegister, RegistryCall::kCreateKey, u"New", 1, denied, deniedResult},
      {"write", kRegister, RegistryCall::kSetValue, u"V", 1, ERROR_OUTOFMEMORY, E_OUTOFMEMORY},
      {"open in removal", kRemove, RegistryCall::kOpenKey, u"Key", 1, denied, deniedResult},
      // The key is opened once more, with no subkey name, to delete a value.
      {"reopen for a value", kRemove, RegistryCall::kOpenKey, u"", 1, denied, deniedResult},
      {"delete a value", kRemove, RegistryCall::kDeleteValue, u"V", 1, denied, deniedResult},
      // The first close of "Key" is that of the reopened handle.
      {"close", kRemove, RegistryCall::kCloseKey, u"Key", 2, ERROR_INVALID_HANDLE,
       static_cast<HRESULT>(0x80070006)},
      {"delete a key", kRemove, RegistryCall::kDeleteKey, u"Key", 1, denied, deniedResult},
  };
  const std::u16string script = u"HKCU { Key { val V = s 'v' } New }";
  for (const Case& c : cases) {
    if (!c.registerFlag) {
      ASSERT_EQ(S_OK, Apply(script, kRegister)) << c.what;
    }
    m_registry.FailCall(c.call, c.error, c.occurrence, c.subject);
    EXPECT_EQ(c.expected, Apply(script, c.registerFlag)) << c.what;
    if (c.registerFlag) {  // undone
      EXPECT_TRUE(All().empty()) << c.what;
    }
    m_registry.ClearFailures();
    ASSERT_EQ(S_OK, Apply(script, kRemove)) << c.what;
    EXPECT_TRUE(All().empty()) << c.what;
  }
}

TEST_F(Interpreter, RemovalStopsAtItsFirstFailureAndLeavesTheRestOfTheScript) {
  struct Case {
    const char* what;
    RegistryCall call;
    const char16_t* subject;
    std::vector<std::string> left;
  };
  const std::u16string script = u"HKCU { A { val V = s 'v' } B } HKLM { C }";
  const Case cases[] = {
      {"delete a value", RegistryCall::kDeleteValue, u"V",
       {"HKCU\\A", "HKCU\\A \"V\" = REG_SZ \"v\"", "HKCU\\B", "HKLM\\C"}},
      {"delete a key", RegistryCall::kDeleteKey, u"B", {"HKCU\\B", "HKLM\\C"}},
      {"open a key of the second root block", RegistryCall::kOpenKey, u"C", {"HKLM\\C"}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(S_OK, Apply(script, kRegister)) << c.what;
    m_registry.FailCall(c.call, ERROR_ACCESS_DENIED, 1, c.subject);
    EXPECT_EQ(0x80070005, static_cast<uint32_t>(Apply(script, kRemove))) << c.what;
    EXPECT_EQ(c.left, All()) << c.what;
    m_registry.ClearFailures();
    ASSERT_EQ(S_OK, Apply(script, kRemove)) << c.what;
  }
}

TEST_F(Interpreter, FallsBackToReadAccessAndThenFailsToWrite) {
  m_registry.CreateKeyPath(HKEY_CURRENT_USER, u"ReadOnly\\Sub");
  // The open for writing is refused; the one for reading is not.
  m_registry.FailCall(RegistryCall::kOpenKey, ERROR_ACCESS_DENIED, 1, u"ReadOnly");
  EXPECT_EQ(S_OK, Apply(u"HKCU { ReadOnly { Sub } }", kRegister));
  m_registry.FailCall(RegistryCall::kOpenKey, ERROR_ACCESS_DENIED, 1, u"ReadOnly");
  EXPECT_EQ(0x80070005, static_cast<uint32_t>(Apply(u"HKCU { ReadOnly = s 'x' }", kRegister)));
  EXPECT_EQ(0, m_registry.GetCallCount(RegistryCall::kCreateKey));
  EXPECT_TRUE(m_registry.HasKey(HKEY_CURRENT_USER, u"ReadOnly\\Sub"));
}

}  // namespace
}  // namespace quorvel
