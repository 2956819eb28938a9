// The interpreter of CRegScriptParser: root blocks, key and value entries,
// registration and removal.
#include <cstring>
#include <memory>
#include <new>

#include "base/ResultCode.h"
#include "base/WideString.h"
#include "platform/TaskMemory.h"
#include "platform/TextServices.h"
#include "registrar/RegScriptParser.h"

namespace quorvel {

namespace {

constexpr char16_t kNoText[] = u"";

enum class ValueKind { kString, kMultiString, kNumber, kBinary };

bool IsKeyword(const char16_t* token, const char16_t* keyword) noexcept {
  return CompareTextNoCase(token, keyword) == 0;
}

bool IsBlockOpening(const char16_t* token) noexcept { return token[0] == u'{' && token[1] == 0; }

bool FindRootKey(const char16_t* name, HKEY* root) noexcept {
  static const struct {
    const char16_t* name;
    HKEY key;
  } kRoots[] = {
      {u"HKCR", HKEY_CLASSES_ROOT},
      {u"HKCU", HKEY_CURRENT_USER},
      {u"HKLM", HKEY_LOCAL_MACHINE},
      {u"HKU", HKEY_USERS},
      {u"HKPD", HKEY_PERFORMANCE_DATA},
      {u"HKDD", HKEY_DYN_DATA},
      {u"HKCC", HKEY_CURRENT_CONFIG},
      {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {u"HKEY_USERS", HKEY_USERS},
      {u"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {u"HKEY_DYN_DATA", HKEY_DYN_DATA},
      {u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  for (const auto& entry : kRoots) {
    if (IsKeyword(name, entry.name)) {
      *root = entry.key;
      return true;
    }
  }
  return false;
}

bool FindValueKind(const char16_t* letter, ValueKind* kind) noexcept {
  static const struct {
    const char16_t* letter;
    ValueKind kind;
  } kKinds[] = {
      {u"S", ValueKind::kString},
      {u"M", ValueKind::kMultiString},
      {u"D", ValueKind::kNumber},
      {u"B", ValueKind::kBinary},
  };
  for (const auto& entry : kKinds) {
    if (IsKeyword(letter, entry.letter)) {
      *kind = entry.kind;
      return true;
    }
  }
  return false;
}

// Keys that ForceRemove and Delete never delete, whatever a script says.
bool IsProtectedName(const char16_t* name) noexcept {
  static const char16_t* const kProtected[] = {
      u"AppID", u"CLSID", u"Component Categories", u"FileType", u"Interface", u"Hardware",
      u"Mime",  u"SAM",   u"SECURITY",             u"SYSTEM",   u"Software",  u"TypeLib",
  };
  for (const char16_t* protectedName : kProtected) {
    if (IsKeyword(name, protectedName)) return true;
  }
  return false;
}

// A key entry names exactly one key beneath its parent. An empty name is
// refused as well as a path: the registry reads it as the parent itself, so
// ForceRemove '' would delete the parent's whole tree.
bool IsSingleKeyName(const char16_t* name) noexcept {
  if (name[0] == 0) return false;
  for (const char16_t* unit = name; *unit != 0; ++unit) {
    if (*unit == u'\\') return false;
  }
  return true;
}

uint8_t HexDigitValue(char16_t unit) noexcept {
  if (unit >= u'0' && unit <= u'9') return static_cast<uint8_t>(unit - u'0');
  if (unit >= u'A' && unit <= u'F') return static_cast<uint8_t>(unit - u'A' + 10);
  if (unit >= u'a' && unit <= u'f') return static_cast<uint8_t>(unit - u'a' + 10);
  return 0;
}

// The name of a key being removed, kept while its block is walked. A name
// of up to MAX_PATH - 1 units stays on the stack; a longer one is kept whole
// on the heap rather than cut, so that removal never deletes a key of another
// name.
class CKeyName {
 public:
  CKeyName() noexcept { m_inline[0] = 0; }
  CKeyName(const CKeyName&) = delete;
  CKeyName& operator=(const CKeyName&) = delete;

  bool Assign(const char16_t* text) noexcept {
    const size_t length = static_cast<size_t>(TextLength(text));
    char16_t* target = m_inline;
    if (length >= kInlineCapacity) {
      m_heap.reset(new (std::nothrow) char16_t[length + 1]);
      if (m_heap == nullptr) return false;
      target = m_heap.get();
    }
    std::memcpy(target, text, (length + 1) * sizeof(char16_t));
    m_text = target;
    return true;
  }

  const char16_t* Get() const noexcept { return m_text; }

 private:
  static constexpr size_t kInlineCapacity = MAX_PATH;
  char16_t m_inline[kInlineCapacity];
  std::unique_ptr<char16_t[]> m_heap;
  const char16_t* m_text = m_inline;
};

}  // namespace

HRESULT CRegScriptParser::ApplyScript(const char16_t* text, bool registerFlag) noexcept {
  CTaskMemory<char16_t> expanded;
  HRESULT hr = expanded.Received(ExpandVariables(text, expanded.Receive()));
  if (FAILED(hr)) return hr;

  TokenBuffer token;
  m_position = expanded.Get();
  while (*m_position != 0) {
    hr = ReadToken(token);
    if (FAILED(hr)) break;
    HKEY root = nullptr;
    if (!FindRootKey(token, &root)) {
      hr = DISP_E_EXCEPTION;
      break;
    }
    hr = ReadToken(token);
    if (FAILED(hr)) break;
    if (token[0] != u'{') {
      hr = DISP_E_EXCEPTION;
      break;
    }
    if (registerFlag) {
      const char16_t* blockStart = m_position;
      hr = ApplyKeyBlock(token, root, true, false, 1);
      if (FAILED(hr)) {
        // Undo this block alone: blocks applied before it stay.
        m_position = blockStart;
        ApplyKeyBlock(token, root, false, false, 1);
        break;
      }
    } else {
      hr = ApplyKeyBlock(token, root, false, false, 1);
      if (FAILED(hr)) break;
    }
    SkipWhitespace();
  }
  // The expanded text goes with the owner; reading on finds no more tokens.
  m_position = kNoText;
  return hr;
}

HRESULT CRegScriptParser::ApplyKeyBlock(TokenBuffer& token, HKEY parent, bool registerFlag, bool skipping,
                                        int depth) noexcept {
  if (depth > kMaxBlockDepth) return DISP_E_EXCEPTION;
  // The level's current key, closed when the level ends, whatever the outcome.
  CRegistryKey current(m_registry);
  HRESULT hr = ReadToken(token);
  while (SUCCEEDED(hr) && token[0] != u'}') {
    hr = ApplyEntry(token, parent, current, registerFlag, skipping, depth);
  }
  return hr;
}

HRESULT CRegScriptParser::ApplyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current, bool registerFlag,
                                     bool skipping, int depth) noexcept {
  HRESULT hr = S_OK;
  if (IsBlockOpening(token)) {
    // A block with no key entry before it (behind a Delete or a value entry):
    // registration walks it beneath the level's current key, or beneath no
    // key; removal only reads through it, since nothing names its keys.
    hr = registerFlag ? ApplyKeyBlock(token, current.Get(), true, false, depth + 1)
                      : ApplyKeyBlock(token, nullptr, false, true, depth + 1);
    if (FAILED(hr)) return hr;
    return ReadToken(token);
  }

  if (IsKeyword(token, u"ForceRemove") || IsKeyword(token, u"Delete")) {
    const bool deleteOnly = IsKeyword(token, u"Delete");
    hr = ReadToken(token);
    if (FAILED(hr)) return hr;
    if (registerFlag) {
      if (!IsSingleKeyName(token)) return DISP_E_EXCEPTION;
      // A key that is not there is no error.
      if (!IsProtectedName(token)) DeleteKeyTree(parent, token);
      if (deleteOnly) {
        hr = ReadToken(token);
        if (FAILED(hr)) return hr;
        return SkipValueAssignment(token);
      }
    }
  }

  bool keep = false;
  if (IsKeyword(token, u"NoRemove")) {
    keep = true;
    hr = ReadToken(token);
    if (FAILED(hr)) return hr;
  }

  if (IsKeyword(token, u"Val")) return ApplyValueEntry(token, parent, registerFlag, skipping, keep);

  if (!IsSingleKeyName(token)) return DISP_E_EXCEPTION;
  return registerFlag ? RegisterKeyEntry(token, parent, current, depth)
                      : RemoveKeyEntry(token, parent, current, skipping, keep, depth);
}

HRESULT CRegScriptParser::ApplyValueEntry(TokenBuffer& token, HKEY parent, bool registerFlag, bool skipping,
                                          bool keep) noexcept {
  HRESULT hr = ReadToken(m_valueName);
  if (FAILED(hr)) return hr;
  hr = ReadToken(token);
  if (FAILED(hr)) return hr;
  if (token[0] != u'=') return DISP_E_EXCEPTION;
  if (registerFlag) return WriteValue(parent, m_valueName, token);

  if (!skipping && !keep) {
    CRegistryKey key(m_registry);
    long error = key.Received(m_registry.OpenKey(parent, nullptr, KEY_WRITE, key.Receive()));
    if (error != ERROR_SUCCESS) return ResultFromWin32(error);
    error = m_registry.DeleteValue(key.Get(), m_valueName);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return ResultFromWin32(error);
  }
  return SkipValueAssignment(token);
}

HRESULT CRegScriptParser::RegisterKeyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current,
                                           int depth) noexcept {
  CRegistryKey key(m_registry);
  long error = key.Received(m_registry.OpenKey(parent, token, KEY_READ | KEY_WRITE, key.Receive()));
  if (error != ERROR_SUCCESS) error = key.Received(m_registry.OpenKey(parent, token, KEY_READ, key.Receive()));
  if (error != ERROR_SUCCESS) {
    error = key.Received(m_registry.CreateKey(parent, token, KEY_READ | KEY_WRITE, key.Receive()));
    if (error != ERROR_SUCCESS) return ResultFromWin32(error);
  }
  current.Reset(key.Detach());

  HRESULT hr = ReadToken(token);
  if (FAILED(hr)) return hr;
  if (token[0] == u'=') {
    hr = WriteValue(current.Get(), nullptr, token);
    if (FAILED(hr)) return hr;
  }
  if (IsBlockOpening(token)) {
    hr = ApplyKeyBlock(token, current.Get(), true, false, depth + 1);
    if (FAILED(hr)) return hr;
    hr = ReadToken(token);
  }
  return hr;
}

HRESULT CRegScriptParser::RemoveKeyEntry(TokenBuffer& token, HKEY parent, CRegistryKey& current, bool skipping,
                                         bool keep, int depth) noexcept {
  // A key that cannot be opened has its block read through and nothing in it
  // touched; skipping counts as a key that is not there.
  bool skipBlock = skipping;
  long openError = ERROR_FILE_NOT_FOUND;
  if (!skipping) {
    CRegistryKey key(m_registry);
    openError = key.Received(m_registry.OpenKey(parent, token, KEY_READ, key.Receive()));
    if (openError == ERROR_SUCCESS) {
      current.Reset(key.Detach());
    } else {
      skipBlock = true;
    }
  }

  CKeyName name;
  if (!name.Assign(token)) return E_OUTOFMEMORY;

  // A default value goes with its key.
  HRESULT hr = ReadToken(token);
  if (FAILED(hr)) return hr;
  hr = SkipValueAssignment(token);
  if (FAILED(hr)) return hr;

  if (IsBlockOpening(token)) {
    hr = ApplyKeyBlock(token, skipBlock ? nullptr : current.Get(), false, skipBlock, depth + 1);
    if (FAILED(hr) && !skipBlock) return hr;
    hr = ReadToken(token);
    if (FAILED(hr)) return hr;
  }

  if (openError == ERROR_FILE_NOT_FOUND || skipping) return S_OK;
  if (openError != ERROR_SUCCESS) return ResultFromWin32(openError);

  const bool hasSubkeys = KeyHasSubkeys(current.Get());
  const long closeError = current.Close();
  if (closeError != ERROR_SUCCESS) return ResultFromWin32(closeError);
  if (keep || hasSubkeys) return S_OK;
  return ResultFromWin32(DeleteOneKey(parent, name.Get()));
}

HRESULT CRegScriptParser::WriteValue(HKEY key, const char16_t* valueName, TokenBuffer& token) noexcept {
  HRESULT hr = ReadToken(token);
  if (FAILED(hr)) return hr;
  ValueKind kind = ValueKind::kString;
  if (!FindValueKind(token, &kind)) return DISP_E_EXCEPTION;
  hr = ReadToken(m_valueText);
  if (FAILED(hr)) return hr;

  const size_t length = static_cast<size_t>(TextLength(m_valueText));
  long error = ERROR_SUCCESS;
  switch (kind) {
    case ValueKind::kString: {
      const uint32_t bytes = static_cast<uint32_t>((length + 1) * sizeof(char16_t));
      error = m_registry.SetValue(key, valueName, REG_SZ, reinterpret_cast<const uint8_t*>(m_valueText), bytes);
      break;
    }
    case ValueKind::kNumber: {
      // Text the conversion refuses is written as 0.
      uint32_t number = 0;
      if (FAILED(UnsignedFromText(m_valueText, &number))) number = 0;
      const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
      error = m_registry.SetValue(key, valueName, REG_DWORD, bytes, sizeof(bytes));
      break;
    }
    case ValueKind::kBinary: {
      if (length % 2 != 0) return E_FAIL;
      // A token holds at most kMaxTokenLength units: half as many bytes.
      uint8_t bytes[kMaxTokenLength / 2 + 1] = {};
      for (size_t i = 0; i < length; ++i) {
        const uint8_t digit = HexDigitValue(m_valueText[i]);
        bytes[i / 2] |= (i % 2 == 0) ? static_cast<uint8_t>(digit << 4) : digit;
      }
      error = m_registry.SetValue(key, valueName, REG_BINARY, bytes, static_cast<uint32_t>(length / 2));
      break;
    }
    case ValueKind::kMultiString: {
      // "\0" separates the strings; two zero units end the list.
      char16_t strings[kMaxTokenLength + 2];
      size_t count = 0;
      for (size_t i = 0; i < length; ++i) {
        if (m_valueText[i] == u'\\' && m_valueText[i + 1] == u'0') {
          strings[count++] = 0;
          ++i;
        } else {
          strings[count++] = m_valueText[i];
        }
      }
      strings[count++] = 0;
      strings[count++] = 0;
      // The stored list ends with its first empty string.
      size_t units = 0;
      for (;;) {
        const size_t start = units;
        while (strings[units] != 0) ++units;
        ++units;
        if (units - start == 1) break;
      }
      error = m_registry.SetValue(key, valueName, REG_MULTI_SZ, reinterpret_cast<const uint8_t*>(strings),
                                  static_cast<uint32_t>(units * sizeof(char16_t)));
      break;
    }
  }
  if (error != ERROR_SUCCESS) return ResultFromWin32(error);
  return ReadToken(token);
}

long CRegScriptParser::DeleteKeyTree(HKEY parent, const char16_t* name) noexcept {
  CRegistryKey key(m_registry);
  long error = key.Received(m_registry.OpenKey(parent, name, KEY_READ | KEY_WRITE, key.Receive()));
  if (error != ERROR_SUCCESS) return error;
  // Each pass removes the first subkey, so index 0 is asked every time.
  char16_t subkey[256];
  for (;;) {
    uint32_t units = sizeof(subkey) / sizeof(subkey[0]);
    if (m_registry.EnumKey(key.Get(), 0, subkey, &units) != ERROR_SUCCESS) break;
    error = DeleteKeyTree(key.Get(), subkey);
    if (error != ERROR_SUCCESS) return error;
  }
  key.Close();
  return DeleteOneKey(parent, name);
}

long CRegScriptParser::DeleteOneKey(HKEY parent, const char16_t* name) noexcept {
  return m_registry.DeleteKey(parent, name);
}

bool CRegScriptParser::KeyHasSubkeys(HKEY key) noexcept {
  uint32_t count = 0;
  return m_registry.QuerySubkeyCount(key, &count) == ERROR_SUCCESS && count > 0;
}

}  // namespace quorvel
