// What the script interpreter does to a registry, the same on every registry
// store: one suite of typed tests, instantiated for the in-memory registry
// (InterpreterTest.cpp) and for the real registry of the Wine prefix
// (tests/registrar_windows/WindowsRegistryTest.cpp).
//
// A Store provides the place where the tests write, and a look into it:
//   IRegistry& Registry();
//   static std::u16string Script(const std::u16string& body);  // one root block holding `body` at the place
//   std::vector<std::string> Dump();  // the place's subtree as lines of CMemoryRegistry::Dump, "T" for the place
//   void CreateKey(const std::u16string& path);  // paths beneath the place
//   void SetString(const std::u16string& path, const char16_t* name, const std::u16string& text);
//   bool HasKey(const std::u16string& path);
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "tests/support/CountingRegistry.h"
#include "tests/support/RegistrationTable.h"
#include "tests/support/ValueTypeCases.h"

namespace quorvel {

template <class Store>
class InterpreterOnAnyRegistry : public ::testing::Test {
 protected:
  static constexpr bool kRegister = true;
  static constexpr bool kRemove = false;

  // Applies `body` at the store's place.
  HRESULT Apply(const std::u16string& body, bool registerFlag) { return ApplyText(Store::Script(body), registerFlag); }

  // Applies a whole script with a fresh registrar; no key handle may stay open.
  HRESULT ApplyText(const std::u16string& script, bool registerFlag) {
    CRegObject registrar;
    CCountingRegistry counted(m_store.Registry());
    CRegScriptParser parser(registrar, counted);
    const HRESULT hr = parser.ApplyScript(script.c_str(), registerFlag);
    EXPECT_EQ(0, counted.GetOpenHandleCount()) << AsciiText(script);
    m_keysCreated += counted.GetCallCount(RegistryCall::kCreateKey);
    return hr;
  }

  Store m_store;
  int m_keysCreated = 0;
};

TYPED_TEST_SUITE_P(InterpreterOnAnyRegistry);

TYPED_TEST_P(InterpreterOnAnyRegistry, StoresEachValueTypeWithItsExactBytes) {
  for (const ValueTypeCase& c : kValueTypeCases) {
    const std::u16string body = u"k = " + std::u16string(c.assignment) + u" { val 'v 1' = " + c.assignment + u" }";
    ASSERT_EQ(S_OK, this->Apply(body, this->kRegister)) << AsciiText(body);
    EXPECT_EQ((std::vector<std::string>{"T\\k", "T\\k @ = " + std::string(c.stored),
                                        "T\\k \"v 1\" = " + std::string(c.stored)}),
              this->m_store.Dump())
        << AsciiText(body);
    ASSERT_EQ(S_OK, this->Apply(u"k", this->kRemove));
    EXPECT_TRUE(this->m_store.Dump().empty());
  }
}

TYPED_TEST_P(InterpreterOnAnyRegistry, RegisteringTwiceOpensTheKeysAgainAndReplacesTheirValues) {
  this->m_store.SetString(u"Quorvel", nullptr, u"old");
  this->m_store.SetString(u"Quorvel", u"Other", u"kept");
  const std::u16string body = u"Quorvel = s 'new' { val Count = d '2' Sub }";
  const std::vector<std::string> expected = {
      "T\\Quorvel",
      "T\\Quorvel @ = REG_SZ \"new\"",
      "T\\Quorvel \"Count\" = REG_DWORD 02 00 00 00",
      "T\\Quorvel \"Other\" = REG_SZ \"kept\"",
      "T\\Quorvel\\Sub",
  };
  ASSERT_EQ(S_OK, this->Apply(body, this->kRegister));
  EXPECT_EQ(expected, this->m_store.Dump());
  const int created = this->m_keysCreated;
  ASSERT_EQ(S_OK, this->Apply(body, this->kRegister));
  EXPECT_EQ(expected, this->m_store.Dump());
  EXPECT_EQ(created, this->m_keysCreated) << "the second time every key is opened, none created";
}

TYPED_TEST_P(InterpreterOnAnyRegistry, ForceRemoveRebuildsTheSubtreeAndDeleteOnlyDeletes) {
  this->m_store.SetString(u"Forced\\Old\\Deeper", u"x", u"old");
  this->m_store.SetString(u"Forced", u"Stale", u"old");
  this->m_store.SetString(u"Gone\\Sub\\Deeper", nullptr, u"old");
  this->m_store.SetString(u"Gone2", nullptr, u"old");
  ASSERT_EQ(S_OK, this->Apply(u"forceremove Forced = s 'new' { New } "
                              u"Delete Gone = s 'never written' 'DELETE' Gone2 Delete Missing",
                              this->kRegister));
  EXPECT_EQ((std::vector<std::string>{"T\\Forced", "T\\Forced @ = REG_SZ \"new\"", "T\\Forced\\New"}),
            this->m_store.Dump());
  // In removal mode both keywords are dropped: the entries are plain keys.
  ASSERT_EQ(S_OK, this->Apply(u"ForceRemove Forced { New }", this->kRemove));
  EXPECT_TRUE(this->m_store.Dump().empty());
}

TYPED_TEST_P(InterpreterOnAnyRegistry, NeverForceDeletesAProtectedName) {
  const char16_t* const names[] = {u"AppID",     u"clsid",    u"Component Categories", u"FileType",
                                   u"Interface", u"HARDWARE", u"Mime",                 u"SAM",
                                   u"Security",  u"SYSTEM",   u"Software",             u"TypeLib"};
  for (const char16_t* name : names) {
    const std::u16string key(name);
    this->m_store.CreateKey(key + u"\\Foreign");
    const std::u16string quoted = u"'" + key + u"'";
    ASSERT_EQ(S_OK, this->Apply(u"ForceRemove " + quoted + u" { Mine } Delete " + quoted, this->kRegister));
    EXPECT_TRUE(this->m_store.HasKey(key + u"\\Foreign")) << AsciiText(key);
    EXPECT_TRUE(this->m_store.HasKey(key + u"\\Mine")) << AsciiText(key);
  }
}

TYPED_TEST_P(InterpreterOnAnyRegistry, RemovalTakesOnlyWhatTheScriptNamesAndOwns) {
  const std::u16string body =
      u"NoRemove Shared { Mine = s 'x' { val V = s 'v' NoRemove val Kept = s 'k' } Busy { Sub } } "
      u"NoRemove Held = s 'd' { val V = d 1 NoRemove val W = d 2 Inner } Alone";
  ASSERT_EQ(S_OK, this->Apply(body, this->kRegister));
  // Another party's entries beside and beneath the script's.
  this->m_store.SetString(u"Shared\\Mine", u"Foreign", u"f");
  this->m_store.CreateKey(u"Shared\\Busy\\Foreign");
  this->m_store.CreateKey(u"Shared\\Neighbour");

  ASSERT_EQ(S_OK, this->Apply(body, this->kRemove));
  // Mine still had values: keys go whatever values they hold; only NoRemove
  // keys and keys with other subkeys stay, and NoRemove values.
  const std::vector<std::string> left = {
      "T\\Held",          "T\\Held @ = REG_SZ \"d\"",  "T\\Held \"W\" = REG_DWORD 02 00 00 00",
      "T\\Shared",        "T\\Shared\\Busy",           "T\\Shared\\Busy\\Foreign",
      "T\\Shared\\Neighbour",
  };
  EXPECT_EQ(left, this->m_store.Dump());
  // Removing again, and removing what was never there, changes nothing.
  ASSERT_EQ(S_OK, this->Apply(body, this->kRemove));
  ASSERT_EQ(S_OK, this->Apply(u"Never { Registered = s 'x' { val V = s 'v' } }", this->kRemove));
  EXPECT_EQ(left, this->m_store.Dump());
  // A value to remove that is not there is no error; the key then goes.
  ASSERT_EQ(S_OK, this->Apply(u"Held { val V = s 'x' }", this->kRemove));
  EXPECT_FALSE(this->m_store.HasKey(u"Held"));
}

TYPED_TEST_P(InterpreterOnAnyRegistry, UndoesOnlyTheRootBlockThatFailed) {
  const std::u16string script = TypeParam::Script(u"First = s '1'") + u"\r\n" +
                                TypeParam::Script(u"Second = s '2' { val v = q 'bad' }");
  EXPECT_EQ(DISP_E_EXCEPTION, this->ApplyText(script, this->kRegister));
  EXPECT_EQ((std::vector<std::string>{"T\\First", "T\\First @ = REG_SZ \"1\""}), this->m_store.Dump());
}

REGISTER_TYPED_TEST_SUITE_P(InterpreterOnAnyRegistry, StoresEachValueTypeWithItsExactBytes,
                            RegisteringTwiceOpensTheKeysAgainAndReplacesTheirValues,
                            ForceRemoveRebuildsTheSubtreeAndDeleteOnlyDeletes, NeverForceDeletesAProtectedName,
                            RemovalTakesOnlyWhatTheScriptNamesAndOwns, UndoesOnlyTheRootBlockThatFailed);

}  // namespace quorvel
