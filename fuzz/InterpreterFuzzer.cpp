// ApplyScript of arbitrary script text on the in-memory registry, in both
// modes, over a registry that already holds other parties' keys:
// - removal of a script that was never registered, and every run, leaves no
//   key handle open and writes nothing;
// - every result is S_OK or a failure the interpreter is documented to give;
// - after a registration that succeeded, removal of the same text succeeds
//   and leaves no key the registration created unless the script marks it
//   NoRemove or it still holds a subkey.
//
// A registration that fails is undone only as far as its text can be read
// again, so keys written before a break in the text stay: the removal check
// runs only after a registration that succeeded. Two kinds of text are read
// differently by the two modes and are not held to it: a block with no key
// entry before it (behind a value entry, a Delete entry or another block),
// which registration walks and removal only reads through, since removal
// cannot name its keys; and "Delete val" or "ForceRemove NoRemove", a key
// named like a keyword.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "base/ResultCode.h"
#include "fuzz/FuzzText.h"
#include "fuzz/ScriptFuzzing.h"
#include "platform/TaskMemory.h"
#include "registrar/RegScriptParser.h"
#include "tests/support/MemoryRegistry.h"

using namespace quorvel;

namespace {

constexpr bool kRegister = true;
constexpr bool kRemove = false;

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                       HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA, HKEY_CURRENT_CONFIG};

std::u16string Folded(const std::u16string& text) {
  std::u16string folded = text;
  for (char16_t& unit : folded) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + (u'a' - u'A'));
  }
  return folded;
}

bool IsWord(const std::u16string& token, const char16_t* word) { return Folded(token) == Folded(word); }

// Keys and values other parties put there before the script runs.
void AddForeignEntries(CMemoryRegistry& registry) {
  registry.SetStringAt(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-0000-0000-0000-00000000F00D}", nullptr, u"other");
  registry.SetStringAt(HKEY_CLASSES_ROOT, u"*\\ShellEx\\ContextMenuHandlers\\Other", nullptr, u"{other}");
  registry.SetStringAt(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                       u"{other}", u"Other");
  registry.CreateKeyPath(HKEY_CURRENT_USER, u"Software\\Existing\\Sub");
}

// Every key path beneath every root, read through the registry interface.
void CollectKeys(IRegistry& registry, HKEY key, const std::u16string& path, std::set<std::u16string>* keys) {
  for (uint32_t index = 0;; ++index) {
    char16_t name[CRegScriptParser::kTokenCapacity];
    uint32_t length = CRegScriptParser::kTokenCapacity;
    if (registry.EnumKey(key, index, name, &length) != ERROR_SUCCESS) return;
    const std::u16string child = path + u"\\" + std::u16string(name, length);
    keys->insert(child);
    HKEY opened = nullptr;
    FUZZ_CHECK(registry.OpenKey(key, name, KEY_READ, &opened) == ERROR_SUCCESS);
    CRegistryKey owner(registry, opened);
    CollectKeys(registry, opened, child, keys);
  }
}

std::set<std::u16string> AllKeys(CMemoryRegistry& registry) {
  std::set<std::u16string> keys;
  for (HKEY root : kRoots) {
    const std::string label = CMemoryRegistry::RootLabel(root);
    CollectKeys(registry, root, std::u16string(label.begin(), label.end()), &keys);
  }
  return keys;
}

std::set<std::string> AllLines(const CMemoryRegistry& registry) {
  const std::vector<std::string> lines = registry.DumpAll();
  return std::set<std::string>(lines.begin(), lines.end());
}

template <typename T>
bool Contains(const std::set<T>& outer, const std::set<T>& inner) {
  for (const T& item : inner) {
    if (outer.count(item) == 0) return false;
  }
  return true;
}

bool IsDocumentedResult(HRESULT hr) {
  return hr == S_OK || hr == DISP_E_EXCEPTION || hr == E_FAIL ||
         // A block with no key entry before it, walked beneath no key or
         // beneath a key the script has just deleted.
         hr == ResultFromWin32(ERROR_INVALID_HANDLE) || hr == ResultFromWin32(ERROR_INVALID_PARAMETER) ||
         hr == ResultFromWin32(ERROR_KEY_DELETED);
}

// The expanded script's tokens, up to the first that cannot be read.
std::vector<std::u16string> ReadTokens(const std::u16string& text) {
  std::vector<std::u16string> tokens;
  CMemoryRegistry registry;
  CRegObject registrar;
  AddScriptVariables(registrar);
  CRegScriptParser parser(registrar, registry);
  char16_t* output = nullptr;
  if (FAILED(parser.ExpandVariables(text.c_str(), &output))) return tokens;
  const CTaskMemory<char16_t> expanded(output);
  parser.SetPosition(expanded.Get());
  CRegScriptParser::TokenBuffer token;
  while (SUCCEEDED(parser.ReadToken(token))) tokens.emplace_back(token);
  return tokens;
}

// "Delete val", "Delete NoRemove", "ForceRemove Delete"...: registration takes
// the keyword after Delete or ForceRemove as a key's name, removal drops the
// first keyword and reads the second as one, so the two modes read the rest
// of the text apart. No key can be named like a keyword.
bool NamesAKeyLikeAKeyword(const std::vector<std::u16string>& tokens) {
  auto isKeyword = [](const std::u16string& token) {
    return IsWord(token, u"Val") || IsWord(token, u"NoRemove") || IsWord(token, u"Delete") ||
           IsWord(token, u"ForceRemove");
  };
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if ((IsWord(tokens[i], u"Delete") || IsWord(tokens[i], u"ForceRemove")) && isKeyword(tokens[i + 1])) return true;
  }
  return false;
}

// A block that no key entry opens: the first entry of a block, or the token
// after a closed block, after a Delete entry or after a value entry. Where a
// token could be read either way, the script counts as holding one.
bool HoldsBlockWithoutKey(const std::vector<std::u16string>& tokens) {
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i] != u"{") continue;
    const std::u16string& previous = tokens[i - 1];
    if (previous == u"{" || previous[0] == u'}') return true;
    if (i >= 2 && IsWord(tokens[i - 2], u"Delete")) return true;
    if (i >= 5 && tokens[i - 3][0] == u'=' && (IsWord(tokens[i - 5], u"Val") || IsWord(tokens[i - 5], u"Delete"))) {
      return true;
    }
  }
  return false;
}

// The names that follow a NoRemove token, folded.
std::set<std::u16string> NoRemoveNames(const std::vector<std::u16string>& tokens) {
  std::set<std::u16string> names;
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (IsWord(tokens[i], u"NoRemove")) names.insert(Folded(tokens[i + 1]));
  }
  return names;
}

HRESULT Apply(CMemoryRegistry& registry, const std::u16string& text, bool registerFlag) {
  CRegObject registrar;
  AddScriptVariables(registrar);
  CRegScriptParser parser(registrar, registry);
  const HRESULT hr = parser.ApplyScript(text.c_str(), registerFlag);
  FUZZ_CHECK(registry.GetOpenHandleCount() == 0);
  FUZZ_CHECK(IsDocumentedResult(hr));
  return hr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = ScriptTextFromBytes(data, size);

  // Removal of a script that was never registered only ever deletes.
  {
    CMemoryRegistry registry;
    AddForeignEntries(registry);
    const std::set<std::string> before = AllLines(registry);
    Apply(registry, text, kRemove);
    FUZZ_CHECK(Contains(before, AllLines(registry)));
  }

  CMemoryRegistry registry;
  AddForeignEntries(registry);
  const std::set<std::u16string> keysBefore = AllKeys(registry);
  if (Apply(registry, text, kRegister) != S_OK) return 0;
  const std::set<std::u16string> keysRegistered = AllKeys(registry);
  const std::set<std::string> linesRegistered = AllLines(registry);

  const std::vector<std::u16string> tokens = ReadTokens(text);
  const HRESULT removal = Apply(registry, text, kRemove);
  FUZZ_CHECK(Contains(linesRegistered, AllLines(registry)));
  if (NamesAKeyLikeAKeyword(tokens)) return 0;
  FUZZ_CHECK(removal == S_OK);
  if (HoldsBlockWithoutKey(tokens)) return 0;
  const std::set<std::u16string> kept = NoRemoveNames(tokens);
  const std::set<std::u16string> keysLeft = AllKeys(registry);
  for (const std::u16string& key : keysLeft) {
    if (keysBefore.count(key) != 0 || keysRegistered.count(key) == 0) continue;
    const std::u16string name = key.substr(key.rfind(u'\\') + 1);
    const auto firstBelow = keysLeft.upper_bound(key + u"\\");
    const bool holdsSubkey = firstBelow != keysLeft.end() && firstBelow->compare(0, key.size() + 1, key + u"\\") == 0;
    if (kept.count(Folded(name)) == 0 && !holdsSubkey) {
      std::fprintf(stderr, "removal left a key the script created: %s\n", std::string(key.begin(), key.end()).c_str());
      FUZZ_CHECK(false);
    }
  }
  return 0;
}
