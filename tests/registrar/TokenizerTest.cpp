// The replacement table, variable expansion and the tokenizer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TaskMemory.h"
#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "tests/support/FailingTaskMemory.h"
#include "tests/support/MemoryRegistry.h"

namespace quorvel {
namespace {

std::string Ascii(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

TEST(RegObject, RefusesNullTextsAndKeepsEveryEntryInOrder) {
  CRegObject registrar;
  EXPECT_EQ(E_INVALIDARG, registrar.AddVariable(nullptr, u"v"));
  EXPECT_EQ(E_INVALIDARG, registrar.AddVariable(u"n", nullptr));
  EXPECT_EQ(0, registrar.GetVariableCount());

  ASSERT_EQ(S_OK, registrar.AddVariable(u"Module", u"first"));
  ASSERT_EQ(S_OK, registrar.AddVariable(u"MODULE", u"second"));
  EXPECT_EQ(2, registrar.GetVariableCount());
  // Names match without regard to case; the entry added first wins.
  EXPECT_EQ(std::u16string(u"first"), registrar.FindVariable(u"module"));
  EXPECT_EQ(nullptr, registrar.FindVariable(u"Modul"));
  EXPECT_EQ(nullptr, registrar.FindVariable(nullptr));

  EXPECT_EQ(S_OK, registrar.ClearVariables());
  EXPECT_EQ(0, registrar.GetVariableCount());
  EXPECT_EQ(nullptr, registrar.FindVariable(u"Module"));
}

// The registrar is the script run's own local object, lent to the module's
// hook: a borrower that counts references as on any COM object must neither
// destroy it nor reach anything else through it.
TEST(RegObject, SurvivesItsBorrowersReferencesAndHandsOutNoInterface) {
  CRegObject registrar;
  IUnknown* unknown = &registrar;
  const IID anyInterface = {};
  void* out = &registrar;
  EXPECT_EQ(E_NOTIMPL, unknown->QueryInterface(anyInterface, &out));
  EXPECT_EQ(nullptr, out);
  for (int i = 0; i < 3; ++i) {
    unknown->AddRef();
    unknown->Release();
    unknown->Release();  // one more than taken
  }
  // Still alive and usable; the sanitizers see any destruction of it.
  IRegistrarBase* base = &registrar;
  EXPECT_EQ(S_OK, base->AddVariable(u"A", u"b"));
  EXPECT_EQ(std::u16string(u"b"), registrar.FindVariable(u"a"));
}

class Expansion : public ::testing::Test {
 protected:
  Expansion() : m_parser(m_registrar, m_registry) {
    m_registrar.AddVariable(u"Module", u"C:\\it''s\\q.dll");
    m_registrar.AddVariable(u"APPID", u"{first}");
    m_registrar.AddVariable(u"appid", u"{second}");
    m_registrar.AddVariable(u"Percent", u"50% and %APPID%");
    m_registrar.AddVariable(u"N234567890123456789012345678901", u"thirty-one");
    m_registrar.AddVariable(u"N2345678901234567890123456789012", u"thirty-two");
  }

  // The expanded text, or the failure code as text.
  std::string Expand(const char16_t* text) {
    char16_t* output = reinterpret_cast<char16_t*>(this);  // must be cleared on failure
    const HRESULT hr = m_parser.ExpandVariables(text, &output);
    CTaskMemory<char16_t> owner(output);
    if (FAILED(hr)) {
      EXPECT_EQ(nullptr, output);
      return "failed " + std::to_string(static_cast<uint32_t>(hr));
    }
    return Ascii(output);
  }

  static std::string Failed(HRESULT hr) { return "failed " + std::to_string(static_cast<uint32_t>(hr)); }

  CMemoryRegistry m_registry;
  CRegObject m_registrar;
  CRegScriptParser m_parser;
};

TEST_F(Expansion, ReplacesVariablesAndEscapes) {
  struct Case {
    const char16_t* text;
    std::string expected;
  };
  const Case cases[] = {
      {u"", ""},
      {u"plain text", "plain text"},
      {u"%%", "%"},
      {u"100%%", "100%"},
      {u"%%%%x", "%%x"},
      {u"'%MODULE%'", "'C:\\it''s\\q.dll'"},
      {u"%module%/%Module%", "C:\\it''s\\q.dll/C:\\it''s\\q.dll"},
      {u"%AppId%", "{first}"},                        // the entry added first
      {u"[%Percent%]", "[50% and %APPID%]"},          // values are not scanned again
      {u"%N234567890123456789012345678901%", "thirty-one"},  // 31 units
      {u"%N2345678901234567890123456789012%", Failed(E_FAIL)},  // 32 units
      {u"%Unknown%", Failed(DISP_E_EXCEPTION)},
      {u"%", Failed(DISP_E_EXCEPTION)},
      {u"text %APPID", Failed(DISP_E_EXCEPTION)},
      {u"ends with %", Failed(DISP_E_EXCEPTION)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Expand(c.text)) << Ascii(c.text);
}

TEST_F(Expansion, RefusesNullPointers) {
  char16_t* output = nullptr;
  EXPECT_EQ(E_POINTER, m_parser.ExpandVariables(nullptr, &output));
  EXPECT_EQ(E_POINTER, m_parser.ExpandVariables(u"x", nullptr));
}

TEST_F(Expansion, ReservesTwiceTheInputAndGrowsByDoubling) {
  // Below 100 units of doubled input the output starts at 1000 units.
  EXPECT_EQ("x", Expand(u"x"));
  EXPECT_EQ(1000 * sizeof(char16_t), task_memory_testing::LastRequestedBytes());
  const std::u16string sixty(60, u'a');
  EXPECT_EQ(Ascii(sixty), Expand(sixty.c_str()));
  EXPECT_EQ(120 * sizeof(char16_t), task_memory_testing::LastRequestedBytes());

  // Twelve "%Big%" (60 units of text) bring in 500 units each: the output
  // doubles from 120 units to 7680.
  m_registrar.AddVariable(u"Big", std::u16string(500, u'b').c_str());
  std::u16string text;
  for (int i = 0; i < 12; ++i) text += u"%Big%";
  EXPECT_EQ(std::string(6000, 'b'), Expand(text.c_str()));
  EXPECT_EQ(7680 * sizeof(char16_t), task_memory_testing::LastRequestedBytes());
}

TEST_F(Expansion, ReportsExhaustedMemoryAndLeavesNothingBehind) {
  m_registrar.AddVariable(u"Big", std::u16string(2000, u'b').c_str());
  task_memory_testing::FailNthRequest(1);  // the first reservation
  EXPECT_EQ(Failed(E_OUTOFMEMORY), Expand(u"%Big%"));
  task_memory_testing::FailNthRequest(2);  // the growth
  EXPECT_EQ(Failed(E_OUTOFMEMORY), Expand(u"%Big%"));
  task_memory_testing::FailNthRequest(0);
  EXPECT_EQ(std::string(2000, 'b'), Expand(u"%Big%"));
}

class Tokenizer : public ::testing::Test {
 protected:
  Tokenizer() : m_parser(m_registrar, m_registry) {}

  // Every token up to the first failing read, then the failure's code.
  std::vector<std::string> ReadAll(const std::u16string& text) {
    m_text = text;
    m_parser.SetPosition(m_text.c_str());
    std::vector<std::string> tokens;
    for (;;) {
      const HRESULT hr = m_parser.ReadToken(m_token);
      if (FAILED(hr)) {
        tokens.push_back("failed " + std::to_string(static_cast<uint32_t>(hr)));
        return tokens;
      }
      tokens.push_back(Ascii(m_token));
    }
  }

  CMemoryRegistry m_registry;
  CRegObject m_registrar;
  CRegScriptParser m_parser;
  CRegScriptParser::TokenBuffer m_token;
  std::u16string m_text;
};

TEST_F(Tokenizer, SplitsAtWhitespaceAndReadsQuotedTokens) {
  const std::string end = "failed " + std::to_string(static_cast<uint32_t>(DISP_E_EXCEPTION));
  struct Case {
    const char16_t* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {u"", {end}},
      {u" \t\r\n ", {end}},
      {u"a\tb\nc\rd e", {"a", "b", "c", "d", "e", end}},
      {u"key=value {x} a}", {"key=value", "{x}", "a}", end}},
      {u"Shell Extensions", {"Shell", "Extensions", end}},
      {u"'Shell Extensions'", {"Shell Extensions", end}},
      {u"''", {"", end}},
      {u"'it''s'", {"it's", end}},
      {u"''''", {"'", end}},
      {u"'a\tb\r\nc'", {"a\tb\r\nc", end}},
      {u"'x'y", {"x", "y", end}},
      {u"'{' {", {"{", "{", end}},
      {u"a'b' c", {"a'b'", "c", end}},
      {u"ok 'abc", {"ok", end}},
      {u"'abc''", {end}},
      {u"\xe9t\xe9 '\x4e2d'", {"?t?", "?", end}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, ReadAll(c.text)) << Ascii(c.text);
}

TEST_F(Tokenizer, LeavesThePositionJustAfterTheToken) {
  m_text = u"  first \t'second' x";
  m_parser.SetPosition(m_text.c_str());
  ASSERT_EQ(S_OK, m_parser.ReadToken(m_token));
  EXPECT_EQ(m_text.c_str() + 7, m_parser.GetPosition());  // the whitespace stays
  ASSERT_EQ(S_OK, m_parser.ReadToken(m_token));
  EXPECT_EQ(m_text.c_str() + 17, m_parser.GetPosition());  // past the closing quote
}

TEST_F(Tokenizer, TakesTokensOfUpTo4094Units) {
  const std::string end = "failed " + std::to_string(static_cast<uint32_t>(DISP_E_EXCEPTION));
  const std::u16string longest(4094, u'k');
  const std::u16string tooLong(4095, u'k');
  EXPECT_EQ((std::vector<std::string>{Ascii(longest), end}), ReadAll(longest));
  EXPECT_EQ((std::vector<std::string>{end}), ReadAll(tooLong));
  EXPECT_EQ((std::vector<std::string>{Ascii(longest), end}), ReadAll(u"'" + longest + u"'"));
  EXPECT_EQ((std::vector<std::string>{end}), ReadAll(u"'" + tooLong + u"'"));
  // A doubled quote counts once.
  const std::u16string quotes(4094, u'\'');
  EXPECT_EQ((std::vector<std::string>{Ascii(quotes), end}), ReadAll(u"'" + quotes + quotes + u"'"));
  // Far longer text never overruns the buffer.
  EXPECT_EQ((std::vector<std::string>{end}), ReadAll(std::u16string(1 << 20, u'z')));
}

TEST_F(Tokenizer, SkipsAValueAssignmentOnlyBehindAnEqualsToken) {
  struct Case {
    const char16_t* first;  // the token in the buffer
    const char16_t* rest;
    HRESULT expected;
    std::string token;  // in the buffer afterwards
  };
  const Case cases[] = {
      {u"name", u"= s 'v' next", S_OK, "name"},  // nothing to skip
      {u"=", u"s 'v v' next", S_OK, "next"},
      {u"=x", u"d '42' next", S_OK, "next"},      // only the first character counts
      {u"=", u"nonsense 'v' next", S_OK, "next"},  // the type is not looked at
      {u"=", u"s 'v'", DISP_E_EXCEPTION, ""},
      {u"=", u"s", DISP_E_EXCEPTION, ""},
  };
  for (const Case& c : cases) {
    m_text = c.rest;
    m_parser.SetPosition(m_text.c_str());
    std::char_traits<char16_t>::copy(m_token, c.first, std::char_traits<char16_t>::length(c.first) + 1);
    EXPECT_EQ(c.expected, m_parser.SkipValueAssignment(m_token)) << Ascii(c.first) << " " << Ascii(c.rest);
    if (SUCCEEDED(c.expected)) {
      EXPECT_EQ(c.token, Ascii(m_token)) << Ascii(c.rest);
    }
  }
}

}  // namespace
}  // namespace quorvel
