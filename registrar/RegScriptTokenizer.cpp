// Variable expansion and the tokenizer of CRegScriptParser.
#include <cstring>

#include "base/WideString.h"
#include "platform/TaskMemory.h"
#include "platform/TextServices.h"
#include "registrar/RegScriptParser.h"

namespace quorvel {

namespace {

bool IsWhitespace(char16_t unit) noexcept { return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' '; }

constexpr size_t kMaxCapacityBeforeDoubling = 0x3FFFFFFF;
constexpr uint64_t kMaxAllocationBytes = 0xFFFFFFFFull;

}  // namespace

CRegScriptParser::CRegScriptParser(CRegObject& registrar, IRegistry& registry) noexcept
    : m_registrar(registrar), m_registry(registry) {
  m_valueName[0] = 0;
  m_valueText[0] = 0;
}

void CRegScriptParser::SkipWhitespace() noexcept {
  while (IsWhitespace(*m_position)) m_position = NextCharacter(m_position);
}

HRESULT CRegScriptParser::AppendToOutput(const char16_t* units, size_t count) noexcept {
  if (m_outputLength + count + 1 >= m_outputCapacity) {
    size_t capacity = m_outputCapacity;
    while (m_outputLength + count + 1 >= capacity) {
      if (capacity > kMaxCapacityBeforeDoubling) return E_OUTOFMEMORY;
      capacity *= 2;
    }
    const uint64_t bytes = static_cast<uint64_t>(capacity) * sizeof(char16_t);
    if (bytes > kMaxAllocationBytes) return E_OUTOFMEMORY;
    void* grown = TaskMemRealloc(m_output, static_cast<size_t>(bytes));
    if (grown == nullptr) return E_OUTOFMEMORY;
    m_output = static_cast<char16_t*>(grown);
    m_outputCapacity = capacity;
  }
  std::memcpy(m_output + m_outputLength, units, count * sizeof(char16_t));
  m_outputLength += count;
  m_output[m_outputLength] = 0;
  return S_OK;
}

HRESULT CRegScriptParser::ExpandVariables(const char16_t* text, char16_t** result) noexcept {
  if (text == nullptr || result == nullptr) return E_POINTER;
  *result = nullptr;

  const size_t length = static_cast<size_t>(TextLength(text));
  // Twice the input, and never less than 1000 units for short texts.
  const uint64_t wanted = static_cast<uint64_t>(length) * 2;
  const uint64_t capacity = wanted < 100 ? 1000 : wanted;
  if (capacity * sizeof(char16_t) > kMaxAllocationBytes) return E_OUTOFMEMORY;
  CTaskMemory<char16_t> output(static_cast<char16_t*>(TaskMemAlloc(static_cast<size_t>(capacity) * sizeof(char16_t))));
  if (output.Get() == nullptr) return E_OUTOFMEMORY;
  output.Get()[0] = 0;
  if (length == 0) {
    *result = output.Detach();
    return S_OK;
  }

  // The output grows in AppendToOutput; the owner follows every move.
  m_output = output.Detach();
  m_outputLength = 0;
  m_outputCapacity = static_cast<size_t>(capacity);
  HRESULT hr = S_OK;
  const char16_t* position = text;
  while (SUCCEEDED(hr)) {
    const char16_t* next = NextCharacter(position);
    if (*position == u'%') {
      position = next;
      if (*position == u'%') {
        hr = AppendToOutput(position, 1);
      } else {
        const char16_t* end = position;
        while (*end != 0 && *end != u'%') end = NextCharacter(end);
        if (*end == 0) {
          hr = DISP_E_EXCEPTION;  // no closing %
          break;
        }
        const size_t nameLength = static_cast<size_t>(end - position);
        if (nameLength > kMaxVariableNameLength) {
          hr = E_FAIL;
          break;
        }
        char16_t name[kMaxVariableNameLength + 1];
        std::memcpy(name, position, nameLength * sizeof(char16_t));
        name[nameLength] = 0;
        const char16_t* value = m_registrar.FindVariable(name);
        if (value == nullptr) {
          hr = DISP_E_EXCEPTION;
          break;
        }
        hr = AppendToOutput(value, static_cast<size_t>(TextLength(value)));
        position = end;
      }
      next = NextCharacter(position);
    } else {
      // Every unit of the character is kept, however many the step covers.
      hr = AppendToOutput(position, static_cast<size_t>(next - position));
    }
    position = next;
    if (*position == 0) break;
  }

  CTaskMemory<char16_t> built(m_output);
  m_output = nullptr;
  m_outputLength = 0;
  m_outputCapacity = 0;
  if (FAILED(hr)) return hr;
  *result = built.Detach();
  return S_OK;
}

HRESULT CRegScriptParser::ReadToken(TokenBuffer& token) noexcept {
  token[0] = 0;
  SkipWhitespace();
  if (*m_position == 0) return DISP_E_EXCEPTION;

  int length = 0;
  // Copies one character, every unit of it, refusing a token that would
  // reach kMaxTokenLength + 1 units.
  auto copyCharacter = [&]() -> bool {
    const char16_t* next = NextCharacter(m_position);
    const ptrdiff_t units = next - m_position;
    if (length + units > kMaxTokenLength) return false;
    std::memcpy(token + length, m_position, static_cast<size_t>(units) * sizeof(char16_t));
    length += static_cast<int>(units);
    m_position = next;
    return true;
  };

  if (*m_position == u'\'') {
    m_position = NextCharacter(m_position);
    for (;;) {
      if (*m_position == 0) {
        token[length] = 0;
        return DISP_E_EXCEPTION;  // not closed before the end
      }
      if (*m_position == u'\'') {
        if (m_position[1] != u'\'') break;
        m_position = NextCharacter(m_position);  // the first of a doubled quote
      }
      if (!copyCharacter()) {
        token[length] = 0;
        return DISP_E_EXCEPTION;
      }
    }
    token[length] = 0;
    m_position = NextCharacter(m_position);  // past the closing quote
    return S_OK;
  }

  while (*m_position != 0 && !IsWhitespace(*m_position)) {
    if (!copyCharacter()) {
      token[length] = 0;
      return DISP_E_EXCEPTION;
    }
  }
  token[length] = 0;
  return S_OK;
}

HRESULT CRegScriptParser::SkipValueAssignment(TokenBuffer& token) noexcept {
  if (token[0] != u'=') return S_OK;
  HRESULT hr = ReadToken(token);  // the type, not tested here
  if (FAILED(hr)) return hr;
  SkipWhitespace();
  hr = ReadToken(m_valueText);  // the value, discarded
  if (FAILED(hr)) return hr;
  return ReadToken(token);
}

}  // namespace quorvel
