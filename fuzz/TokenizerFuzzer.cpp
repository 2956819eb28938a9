// Variable expansion, then the tokenizer, on arbitrary script text: tokens
// are read until the first failure, and each must be what the text between
// the positions before and after the read says, within the token buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzText.h"
#include "fuzz/ScriptFuzzing.h"
#include "platform/TaskMemory.h"
#include "registrar/RegScriptParser.h"
#include "tests/support/MemoryRegistry.h"

using namespace quorvel;

namespace {

bool IsWhitespace(char16_t unit) { return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' '; }

// The token that the text [start, end) stands for: a quoted token without its
// quotes and with each '' read as one ', any other exactly as written.
std::u16string TokenOfSource(const char16_t* start, const char16_t* end) {
  if (*start != u'\'') return std::u16string(start, end);
  std::u16string token;
  for (const char16_t* unit = start + 1; unit < end - 1; ++unit) {
    token += *unit;
    if (*unit == u'\'') ++unit;  // the second of a doubled quote
  }
  return token;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = ScriptTextFromBytes(data, size);
  CMemoryRegistry registry;
  CRegObject registrar;
  AddScriptVariables(registrar);
  CRegScriptParser parser(registrar, registry);

  char16_t* output = reinterpret_cast<char16_t*>(&registry);  // must be cleared on failure
  const HRESULT expansion = parser.ExpandVariables(text.c_str(), &output);
  if (FAILED(expansion)) {
    FUZZ_CHECK(output == nullptr);
    FUZZ_CHECK(expansion == DISP_E_EXCEPTION || expansion == E_FAIL);
    return 0;
  }
  FUZZ_CHECK(expansion == S_OK && output != nullptr);
  const CTaskMemory<char16_t> expanded(output);
  const std::u16string expandedText(expanded.Get());
  if (text.find(u'%') == std::u16string::npos) FUZZ_CHECK(expandedText == text);

  const char16_t* const begin = expanded.Get();
  const char16_t* const end = begin + expandedText.size();
  parser.SetPosition(begin);
  CRegScriptParser::TokenBuffer token;
  token[0] = 0;
  for (size_t reads = 0;; ++reads) {
    FUZZ_CHECK(reads <= expandedText.size());  // every read that succeeds moves on
    const char16_t* before = parser.GetPosition();
    const bool skipping = token[0] == u'=';
    const HRESULT hr = skipping ? parser.SkipValueAssignment(token) : parser.ReadToken(token);
    const char16_t* after = parser.GetPosition();
    FUZZ_CHECK(after >= before && after <= end);
    if (FAILED(hr)) {
      FUZZ_CHECK(hr == DISP_E_EXCEPTION);
      break;
    }
    FUZZ_CHECK(hr == S_OK && after > before);
    size_t length = 0;
    while (length < CRegScriptParser::kTokenCapacity && token[length] != 0) ++length;
    FUZZ_CHECK(length <= CRegScriptParser::kMaxTokenLength);
    if (skipping) continue;

    while (IsWhitespace(*before)) ++before;
    FUZZ_CHECK(std::u16string(token, length) == TokenOfSource(before, after));
    if (*before != u'\'') FUZZ_CHECK(after == end || IsWhitespace(*after));
  }
  return 0;
}
