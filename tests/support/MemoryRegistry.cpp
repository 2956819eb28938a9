#include "tests/support/MemoryRegistry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace quorvel {

namespace {

constexpr uint32_t kAllAccess = 0xF003Fu;  // KEY_ALL_ACCESS, what the predefined roots carry

char16_t FoldCase(char16_t unit) noexcept { return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit; }

bool SameName(const std::u16string& left, const std::u16string& right) noexcept {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (FoldCase(left[i]) != FoldCase(right[i])) return false;
  }
  return true;
}

std::u16string TextOrEmpty(const char16_t* text) { return text != nullptr ? std::u16string(text) : std::u16string(); }

HKEY HandleFromNumber(uintptr_t number) noexcept { return reinterpret_cast<HKEY>(number); }
uintptr_t NumberFromHandle(HKEY key) noexcept { return reinterpret_cast<uintptr_t>(key); }

// Splits a path at backslashes. A trailing backslash is allowed; an empty
// component anywhere else makes the path malformed.
bool SplitPath(const std::u16string& path, std::vector<std::u16string>* parts) {
  parts->clear();
  size_t start = 0;
  while (start < path.size()) {
    const size_t end = path.find(u'\\', start);
    const size_t stop = end == std::u16string::npos ? path.size() : end;
    if (stop == start) return false;
    parts->push_back(path.substr(start, stop - start));
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool CMemoryRegistry::NameLess::operator()(const std::u16string& left, const std::u16string& right) const noexcept {
  const size_t common = std::min(left.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t a = FoldCase(left[i]);
    const char16_t b = FoldCase(right[i]);
    if (a != b) return a < b;
  }
  return left.size() < right.size();
}

CMemoryRegistry::CMemoryRegistry() {
  const std::pair<HKEY, const char16_t*> roots[] = {
      {HKEY_CLASSES_ROOT, u"HKCR"},     {HKEY_CURRENT_USER, u"HKCU"},     {HKEY_LOCAL_MACHINE, u"HKLM"},
      {HKEY_USERS, u"HKU"},             {HKEY_PERFORMANCE_DATA, u"HKPD"}, {HKEY_DYN_DATA, u"HKDD"},
      {HKEY_CURRENT_CONFIG, u"HKCC"},
  };
  for (const auto& root : roots) {
    auto node = std::make_shared<Node>();
    node->name = root.second;
    m_roots.emplace_back(root.first, node);
  }
}

CMemoryRegistry::~CMemoryRegistry() = default;

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::FindRoot(HKEY root) const noexcept {
  for (const auto& entry : m_roots) {
    if (entry.first == root) return entry.second;
  }
  return nullptr;
}

long CMemoryRegistry::Resolve(HKEY key, uint32_t neededAccess, std::shared_ptr<Node>* node) const {
  std::shared_ptr<Node> found = FindRoot(key);
  uint32_t access = kAllAccess;
  if (found == nullptr) {
    const auto handle = m_handles.find(NumberFromHandle(key));
    if (key == nullptr || handle == m_handles.end()) return ERROR_INVALID_HANDLE;
    found = handle->second.node;
    access = handle->second.access;
  }
  if (found->deleted) return ERROR_KEY_DELETED;
  if ((access & neededAccess) != neededAccess) return ERROR_ACCESS_DENIED;
  *node = std::move(found);
  return ERROR_SUCCESS;
}

long CMemoryRegistry::HandOut(const std::shared_ptr<Node>& node, uint32_t access, HKEY* key) {
  const uintptr_t number = m_nextHandle;
  m_nextHandle += 4;
  m_handles[number] = OpenHandle{node, access};
  *key = HandleFromNumber(number);
  return ERROR_SUCCESS;
}

std::u16string CMemoryRegistry::SubjectOf(HKEY key) const {
  if (std::shared_ptr<Node> root = FindRoot(key)) return root->name;
  const auto handle = m_handles.find(NumberFromHandle(key));
  return handle != m_handles.end() ? handle->second.node->name : std::u16string();
}

bool CMemoryRegistry::ShouldFail(RegistryCall call, const std::u16string& subject, long* errorCode) {
  ++m_callCounts[static_cast<int>(call)];
  for (auto failure = m_failures.begin(); failure != m_failures.end(); ++failure) {
    if (failure->call != call) continue;
    if (failure->hasSubject && !SameName(failure->subject, subject)) continue;
    if (failure->remaining > 0) {
      --failure->remaining;
      continue;
    }
    *errorCode = failure->errorCode;
    if (failure->remaining == 0) m_failures.erase(failure);
    return true;
  }
  return false;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::Walk(const std::shared_ptr<Node>& from,
                                                             const std::u16string& path, bool create,
                                                             bool* created) {
  std::vector<std::u16string> parts;
  if (!SplitPath(path, &parts)) return nullptr;
  std::shared_ptr<Node> node = from;
  for (const std::u16string& part : parts) {
    auto next = node->subkeys.find(part);
    if (next == node->subkeys.end()) {
      if (!create) return nullptr;
      auto child = std::make_shared<Node>();
      child->name = part;
      child->parent = node.get();
      next = node->subkeys.emplace(part, std::move(child)).first;
      if (created != nullptr) *created = true;
    }
    node = next->second;
  }
  return node;
}

long CMemoryRegistry::OpenKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kOpenKey, TextOrEmpty(subKey), &error)) return error;
  if (key == nullptr) return ERROR_INVALID_PARAMETER;
  *key = nullptr;
  std::shared_ptr<Node> node;
  error = Resolve(parent, 0, &node);
  if (error != ERROR_SUCCESS) return error;
  std::vector<std::u16string> parts;
  const std::u16string path = TextOrEmpty(subKey);
  if (!SplitPath(path, &parts)) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> target = Walk(node, path, false, nullptr);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  return HandOut(target, access, key);
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::CreateKey(HKEY parent, const char16_t* subKey, uint32_t access, HKEY* key) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kCreateKey, TextOrEmpty(subKey), &error)) return error;
  if (key == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
  *key = nullptr;
  std::shared_ptr<Node> node;
  error = Resolve(parent, 0, &node);
  if (error != ERROR_SUCCESS) return error;
  const std::u16string path(subKey);
  std::vector<std::u16string> parts;
  if (!SplitPath(path, &parts)) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> target = Walk(node, path, false, nullptr);
  if (target == nullptr) {
    // Making a key needs the right to create subkeys of its parent.
    error = Resolve(parent, KEY_CREATE_SUB_KEY, &node);
    if (error != ERROR_SUCCESS) return error;
    target = Walk(node, path, true, nullptr);
  }
  return HandOut(target, access, key);
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::SetValue(HKEY key, const char16_t* name, uint32_t type, const uint8_t* data,
                               uint32_t size) try {
  long error = ERROR_SUCCESS;
  const std::u16string valueName = TextOrEmpty(name);
  if (ShouldFail(RegistryCall::kSetValue, valueName, &error)) return error;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> node;
  error = Resolve(key, KEY_SET_VALUE, &node);
  if (error != ERROR_SUCCESS) return error;
  std::vector<uint8_t> bytes(data, data + size);
  auto existing = node->values.find(valueName);
  if (existing != node->values.end()) {
    existing->second.type = type;
    existing->second.data = std::move(bytes);
  } else {
    node->values.emplace(valueName, StoredValue{valueName, type, std::move(bytes)});
  }
  return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::DeleteValue(HKEY key, const char16_t* name) try {
  long error = ERROR_SUCCESS;
  const std::u16string valueName = TextOrEmpty(name);
  if (ShouldFail(RegistryCall::kDeleteValue, valueName, &error)) return error;
  std::shared_ptr<Node> node;
  error = Resolve(key, KEY_SET_VALUE, &node);
  if (error != ERROR_SUCCESS) return error;
  return node->values.erase(valueName) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::DeleteKey(HKEY parent, const char16_t* subKey) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kDeleteKey, TextOrEmpty(subKey), &error)) return error;
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> node;
  error = Resolve(parent, 0, &node);
  if (error != ERROR_SUCCESS) return error;
  // An empty name deletes the key of the handle itself, as on Windows.
  std::shared_ptr<Node> target = Walk(node, subKey, false, nullptr);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  if (target->parent == nullptr) return ERROR_ACCESS_DENIED;  // a predefined root
  if (!target->subkeys.empty()) return ERROR_ACCESS_DENIED;
  Node* owner = target->parent;
  target->deleted = true;
  target->parent = nullptr;
  owner->subkeys.erase(target->name);
  return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::EnumKey(HKEY key, uint32_t index, char16_t* name, uint32_t* length) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kEnumKey, SubjectOf(key), &error)) return error;
  if (name == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> node;
  error = Resolve(key, KEY_ENUMERATE_SUB_KEYS, &node);
  if (error != ERROR_SUCCESS) return error;
  if (index >= node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto entry = node->subkeys.begin();
  std::advance(entry, index);
  const std::u16string& found = entry->second->name;
  if (found.size() + 1 > *length) return ERROR_MORE_DATA;
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = 0;
  *length = static_cast<uint32_t>(found.size());
  return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::QuerySubkeyCount(HKEY key, uint32_t* count) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kQuerySubkeyCount, SubjectOf(key), &error)) return error;
  if (count == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Node> node;
  error = Resolve(key, KEY_QUERY_VALUE, &node);
  if (error != ERROR_SUCCESS) return error;
  *count = static_cast<uint32_t>(node->subkeys.size());
  return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

long CMemoryRegistry::CloseKey(HKEY key) try {
  long error = ERROR_SUCCESS;
  if (ShouldFail(RegistryCall::kCloseKey, SubjectOf(key), &error)) {
    // A caller can do nothing more with a handle whose close failed: it is
    // given up all the same.
    m_handles.erase(NumberFromHandle(key));
    return error;
  }
  if (FindRoot(key) != nullptr) return ERROR_SUCCESS;
  return m_handles.erase(NumberFromHandle(key)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
} catch (const std::bad_alloc&) {
  return ERROR_OUTOFMEMORY;
}

void CMemoryRegistry::FailCall(RegistryCall call, long errorCode, int occurrence, const char16_t* subject) {
  Failure failure{call, errorCode, occurrence > 0 ? occurrence - 1 : -1, subject != nullptr, TextOrEmpty(subject)};
  m_failures.push_back(std::move(failure));
}

void CMemoryRegistry::ClearFailures() noexcept { m_failures.clear(); }

int CMemoryRegistry::GetCallCount(RegistryCall call) const noexcept { return m_callCounts[static_cast<int>(call)]; }

int CMemoryRegistry::GetOpenHandleCount() const noexcept { return static_cast<int>(m_handles.size()); }

bool CMemoryRegistry::CreateKeyPath(HKEY root, const char16_t* path) {
  std::shared_ptr<Node> node = FindRoot(root);
  return node != nullptr && Walk(node, TextOrEmpty(path), true, nullptr) != nullptr;
}

bool CMemoryRegistry::HasKey(HKEY root, const char16_t* path) const {
  std::shared_ptr<Node> node = FindRoot(root);
  return node != nullptr && Walk(node, TextOrEmpty(path), false, nullptr) != nullptr;
}

bool CMemoryRegistry::SetValueAt(HKEY root, const char16_t* path, const char16_t* name, uint32_t type,
                                 std::vector<uint8_t> data) {
  std::shared_ptr<Node> node = FindRoot(root);
  if (node == nullptr) return false;
  node = Walk(node, TextOrEmpty(path), true, nullptr);
  if (node == nullptr) return false;
  const std::u16string valueName = TextOrEmpty(name);
  node->values[valueName] = StoredValue{valueName, type, std::move(data)};
  return true;
}

bool CMemoryRegistry::SetStringAt(HKEY root, const char16_t* path, const char16_t* name, const char16_t* text) {
  const std::u16string value = TextOrEmpty(text);
  std::vector<uint8_t> data((value.size() + 1) * sizeof(char16_t));
  std::memcpy(data.data(), value.c_str(), data.size());
  return SetValueAt(root, path, name, REG_SZ, std::move(data));
}

bool CMemoryRegistry::GetValueAt(HKEY root, const char16_t* path, const char16_t* name, uint32_t* type,
                                 std::vector<uint8_t>* data) const {
  std::shared_ptr<Node> node = FindRoot(root);
  if (node == nullptr) return false;
  node = Walk(node, TextOrEmpty(path), false, nullptr);
  if (node == nullptr) return false;
  const auto value = node->values.find(TextOrEmpty(name));
  if (value == node->values.end()) return false;
  if (type != nullptr) *type = value->second.type;
  if (data != nullptr) *data = value->second.data;
  return true;
}

std::string CMemoryRegistry::PrintableName(const std::u16string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      if (unit == u'"') out += '\\';
      out += static_cast<char>(unit);
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(unit >> shift) & 0xF];
    }
  }
  return out;
}

std::string CMemoryRegistry::DescribeValue(uint32_t type, const std::vector<uint8_t>& data) {
  static const char kDigits[] = "0123456789abcdef";
  const char* typeName = nullptr;
  switch (type) {
    case REG_SZ: typeName = "REG_SZ"; break;
    case REG_EXPAND_SZ: typeName = "REG_EXPAND_SZ"; break;
    case REG_BINARY: typeName = "REG_BINARY"; break;
    case REG_DWORD: typeName = "REG_DWORD"; break;
    case REG_MULTI_SZ: typeName = "REG_MULTI_SZ"; break;
    default: break;
  }
  std::string out = typeName != nullptr ? typeName : "type " + std::to_string(type);
  if (type == REG_SZ && data.size() >= 2 && data.size() % 2 == 0) {
    // Shown as text only when it is exactly one string and its terminating zero.
    std::u16string text(data.size() / 2, u'\0');
    std::memcpy(&text[0], data.data(), data.size());
    if (text.back() == 0 && text.find(u'\0') == text.size() - 1) {
      text.pop_back();
      return out + " \"" + PrintableName(text) + "\"";
    }
  }
  for (uint8_t byte : data) {
    out += ' ';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

std::string CMemoryRegistry::RootLabel(HKEY root) {
  static const std::pair<HKEY, const char*> kLabels[] = {
      {HKEY_CLASSES_ROOT, "HKCR"},     {HKEY_CURRENT_USER, "HKCU"},     {HKEY_LOCAL_MACHINE, "HKLM"},
      {HKEY_USERS, "HKU"},             {HKEY_PERFORMANCE_DATA, "HKPD"}, {HKEY_DYN_DATA, "HKDD"},
      {HKEY_CURRENT_CONFIG, "HKCC"},
  };
  for (const auto& label : kLabels) {
    if (label.first == root) return label.second;
  }
  return "?";
}

void CMemoryRegistry::DumpNode(const Node& node, const std::string& path, std::vector<std::string>* lines) {
  lines->push_back(path);
  for (const auto& value : node.values) {
    const std::string name = value.second.name.empty() ? "@" : "\"" + PrintableName(value.second.name) + "\"";
    lines->push_back(path + " " + name + " = " + DescribeValue(value.second.type, value.second.data));
  }
  for (const auto& subkey : node.subkeys) {
    DumpNode(*subkey.second, path + "\\" + PrintableName(subkey.second->name), lines);
  }
}

std::vector<std::string> CMemoryRegistry::Dump(HKEY root, const char16_t* path) const {
  std::vector<std::string> lines;
  std::shared_ptr<Node> node = FindRoot(root);
  if (node == nullptr) return lines;
  const std::u16string subPath = TextOrEmpty(path);
  node = Walk(node, subPath, false, nullptr);
  if (node == nullptr) return lines;
  std::string label = RootLabel(root);
  if (!subPath.empty()) label += "\\" + PrintableName(subPath);
  DumpNode(*node, label, &lines);
  return lines;
}

std::vector<std::string> CMemoryRegistry::DumpAll() const {
  std::vector<std::string> lines;
  for (const auto& root : m_roots) {
    for (const auto& subkey : root.second->subkeys) {
      DumpNode(*subkey.second, RootLabel(root.first) + "\\" + PrintableName(subkey.second->name), &lines);
    }
  }
  return lines;
}

}  // namespace quorvel
