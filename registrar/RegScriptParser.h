// CRegScriptParser: reads one registry script and applies it.
//
// The text first has its %NAME% variables replaced from the registrar's
// table (ExpandVariables), then is read one token at a time (ReadToken): a
// quoted token runs from ' to the next ' not doubled ('' stands for one '),
// any other token up to the next tab, line feed, carriage return or space.
//
// ApplyScript walks the expanded text as root blocks of key and value
// entries and applies them to a registry: in registration mode it creates
// the keys and writes the values named; in removal mode it deletes them,
// except what is marked NoRemove and keys that still hold other subkeys. A
// registration that fails inside a root block walks that block again in
// removal mode and returns the failure.
//
// Every failure is a result code: DISP_E_EXCEPTION for text that breaks the
// grammar, E_FAIL for a bad binary value or an over-long variable name,
// E_OUTOFMEMORY, or the registry's own error as a result code. No input
// overruns a buffer: tokens longer than 4094 units and blocks nested deeper
// than kMaxBlockDepth are refused.
#pragma once

#include <cstdint>

#include "platform/Registry.h"
#include "platform/ResultTypes.h"
#include "registrar/RegObject.h"

namespace quorvel {

class CRegScriptParser {
 public:
  static constexpr int kTokenCapacity = 4096;  // units, terminator included
  static constexpr int kMaxTokenLength = kTokenCapacity - 2;
  static constexpr int kMaxVariableNameLength = 31;
  // As deep as the registry lets keys nest, so that no real script is
  // refused; shallow enough that the walk stays well inside a thread's stack.
  static constexpr int kMaxBlockDepth = 512;
  using TokenBuffer = char16_t[kTokenCapacity];

  CRegScriptParser(CRegObject& registrar, IRegistry& registry) noexcept;
  CRegScriptParser(const CRegScriptParser&) = delete;
  CRegScriptParser& operator=(const CRegScriptParser&) = delete;

  // Replaces each %NAME% of `text` with its value from the registrar and %%
  // with %. On success *result is a new text from the task allocator, which
  // the caller frees with TaskMemFree; on failure it is null.
  HRESULT ExpandVariables(const char16_t* text, char16_t** result) noexcept;

  // Reads the next token into `token`; the position then stands just after it.
  HRESULT ReadToken(TokenBuffer& token) noexcept;

  // When `token` begins with '=', reads past the type and value that follow
  // and then the next token into `token`.
  HRESULT SkipValueAssignment(TokenBuffer& token) noexcept;

  // Expands `text` and applies it, registering when `registerFlag` is true,
  // removing otherwise.
  HRESULT ApplyScript(const char16_t* text, bool registerFlag) noexcept;

  // Where the next read starts; for reading a text token by token.
  void SetPosition(const char16_t* position) noexcept { m_position = position; }
  const char16_t* GetPosition() const noexcept { return m_position; }

 private:
  struct EntryPrefix;

  void SkipWhitespace() noexcept;
  HRESULT AppendToOutput(const char16_t* units, size_t count) noexcept;

  HRESULT ApplyKeyBlock(TokenBuffer& token, HKEY parent, bool registerFlag, bool skipping, int depth) noexcept;
  HRESULT ApplyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current, bool registerFlag, bool skipping,
                     int depth) noexcept;
  HRESULT ApplyValueEntry(TokenBuffer& token, HKEY parent, bool registerFlag, bool skipping, bool keep) noexcept;
  HRESULT RegisterKeyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current, int depth) noexcept;
  HRESULT RemoveKeyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current, bool skipping, bool keep,
                         int depth) noexcept;
  HRESULT WriteValue(HKEY key, const char16_t* valueName, TokenBuffer& token) noexcept;
  long DeleteKeyTree(HKEY parent, const char16_t* name) noexcept;
  long DeleteOneKey(HKEY parent, const char16_t* name) noexcept;
  bool KeyHasSubkeys(HKEY key) noexcept;

  const char16_t* m_position = u"";
  CRegObject& m_registrar;
  IRegistry& m_registry;

  // The output of ExpandVariables while it is being built.
  char16_t* m_output = nullptr;
  size_t m_outputLength = 0;
  size_t m_outputCapacity = 0;

  // Scratch space that no entry needs beyond its own processing, shared by
  // all block levels so that deep nesting costs little stack.
  TokenBuffer m_valueName;
  TokenBuffer m_valueText;
};

}  // namespace quorvel
