// CMemoryRegistry: a registry held in memory, with the seven predefined roots,
// for running registry scripts where no Windows registry exists (or must not
// be touched) and for tests. Key and value names compare without regard to
// ASCII case and keep the case they were created with, like the real
// registry's. Handles carry the access they were opened with: writing a value
// needs KEY_SET_VALUE, creating a key KEY_CREATE_SUB_KEY on its parent,
// enumerating KEY_ENUMERATE_SUB_KEYS, the subkey count KEY_QUERY_VALUE.
// A handle to a deleted key answers ERROR_KEY_DELETED; an unknown or null
// handle ERROR_INVALID_HANDLE.
//
// Any call can be told to fail (FailCall) with a chosen Win32 code, so that
// every error path of a caller can be reached; a failed call changes nothing,
// except that a handle whose close failed is given up all the same.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace quorvel {

enum class RegistryCall {
  kOpenKey,
  kCreateKey,
  kSetValue,
  kDeleteValue,
  kDeleteKey,
  kEnumKey,
  kQuerySubkeyCount,
  kCloseKey,
};
constexpr int kRegistryCallKinds = 8;

class CMemoryRegistry final : public IRegistry {
 public:
  CMemoryRegistry();
  ~CMemoryRegistry() override;
  CMemoryRegistry(const CMemoryRegistry&) = delete;
  CMemoryRegistry& operator=(const CMemoryRegistry&) = delete;

  long OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) override;
  long SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) override;
  long DeleteValue(HKEY key, const char16_t* name) override;
  long DeleteKey(HKEY parent, const char16_t* subKey) override;
  long EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) override;
  long QuerySubkeyCount(HKEY key, uint32_t* count) override;
  long CloseKey(HKEY key) override;

  // Makes calls of one kind fail with `errorCode`. `occurrence` counts the
  // matching calls from now on: 1 fails the next one, n the n-th one, 0 every
  // one. `subject`, when given, matches only calls about that name (without
  // regard to case): the subkey name of OpenKey, CreateKey and DeleteKey; the
  // value name of SetValue and DeleteValue ("" for the default value); the
  // name of the key itself for EnumKey, QuerySubkeyCount and CloseKey.
  void FailCall(RegistryCall call, long errorCode, int occurrence = 1, const char16_t* subject = nullptr);
  void ClearFailures() noexcept;

  // Calls made of one kind, failed ones included.
  int GetCallCount(RegistryCall call) const noexcept;
  // Handles opened and not yet closed (the predefined roots are not counted).
  int GetOpenHandleCount() const noexcept;

  // Set-up and inspection by path beneath a root ("A\\B\\C"); these neither
  // fail on purpose nor count as calls.
  bool CreateKeyPath(HKEY root, const char16_t* path);
  bool HasKey(HKEY root, const char16_t* path) const;
  bool SetValueAt(HKEY root, const char16_t* path, const char16_t* name, uint32_t type, std::vector<uint8_t> data);
  bool SetStringAt(HKEY root, const char16_t* path, const char16_t* name, const char16_t* text);
  bool GetValueAt(HKEY root, const char16_t* path, const char16_t* name, uint32_t* type,
                  std::vector<uint8_t>* data) const;

  // The subtree at `path` as text, one line per key and one per value, keys
  // and values in name order: "HKCR\A\B" for a key, then its values as
  // `HKCR\A\B @ = REG_SZ "text"` (the default value) or
  // `HKCR\A\B "Name" = REG_DWORD 2a 00 00 00`, then its subkeys. An empty
  // path dumps the whole root. A missing key gives no lines.
  std::vector<std::string> Dump(HKEY root, const char16_t* path = u"") const;
  std::vector<std::string> DumpAll() const;

  // "REG_SZ \"text\"" for a well-formed string, else the type and the bytes in hex.
  static std::string DescribeValue(uint32_t type, const std::vector<uint8_t>& data);
  // A key or value name as the dump shows it: printable ASCII as it is (with
  // '"' escaped), any other unit as a backslash, "u" and four hex digits.
  static std::string PrintableName(const std::u16string& name);
  // "HKCR", "HKCU", "HKLM", ... for a predefined root.
  static std::string RootLabel(HKEY root);

 private:
  // Orders names without regard to ASCII case.
  struct NameLess {
    bool operator()(const std::u16string& left, const std::u16string& right) const noexcept;
  };
  struct StoredValue {
    std::u16string name;  // as written first
    uint32_t type = 0;
    std::vector<uint8_t> data;
  };
  struct Node {
    std::u16string name;
    Node* parent = nullptr;  // null for a root and for a deleted key
    bool deleted = false;
    std::map<std::u16string, std::shared_ptr<Node>, NameLess> subkeys;
    std::map<std::u16string, StoredValue, NameLess> values;
  };
  struct OpenHandle {
    std::shared_ptr<Node> node;
    uint32_t access = 0;
  };
  struct Failure {
    RegistryCall call;
    long errorCode;
    int remaining;  // matching calls to let pass before failing; -1: fail every one
    bool hasSubject;
    std::u16string subject;
  };

  std::shared_ptr<Node> FindRoot(HKEY root) const noexcept;
  // The key a handle refers to, or the error the call answers.
  long Resolve(HKEY key, uint32_t neededAccess, std::shared_ptr<Node>* node) const;
  long HandOut(const std::shared_ptr<Node>& node, uint32_t access, HKEY* key);
  bool ShouldFail(RegistryCall call, const std::u16string& subject, long* errorCode);
  std::u16string SubjectOf(HKEY key) const;
  // Follows a backslash-separated path from `from`; with `create`, missing
  // keys are made. Null when a key is missing or the path is malformed.
  static std::shared_ptr<Node> Walk(const std::shared_ptr<Node>& from, const std::u16string& path, bool create,
                                    bool* created);
  static void DumpNode(const Node& node, const std::string& path, std::vector<std::string>* lines);

  std::vector<std::pair<HKEY, std::shared_ptr<Node>>> m_roots;
  std::map<uintptr_t, OpenHandle> m_handles;
  uintptr_t m_nextHandle = 0x1000;
  std::vector<Failure> m_failures;
  int m_callCounts[kRegistryCallKinds] = {};
};

}  // namespace quorvel
