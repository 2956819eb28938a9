// The real registry as the tests look into it: dumps in the form of
// CMemoryRegistry::Dump, and set-up helpers.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/WinApi.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RegistrationTable.h"

namespace quorvel {

inline std::string PrintableName(const std::wstring& text) {
  return CMemoryRegistry::PrintableName(std::u16string(text.begin(), text.end()));
}

// Name order of the in-memory registry: ASCII letters fold to lower case.
inline bool NameBefore(const std::wstring& left, const std::wstring& right) {
  auto fold = [](wchar_t unit) { return unit >= L'A' && unit <= L'Z' ? unit + (L'a' - L'A') : unit; };
  return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                      [&](wchar_t a, wchar_t b) { return fold(a) < fold(b); });
}

class CRealRegistryView : public IRegistryView {
 public:
  // `view`: 0 for the process's own registry view, or KEY_WOW64_64KEY /
  // KEY_WOW64_32KEY for the 64-bit or 32-bit one.
  explicit CRealRegistryView(REGSAM view = 0) : m_access(KEY_READ | view) {}

  std::vector<std::string> DumpSubtree(HKEY root, const std::u16string& path) override {
    std::vector<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, AsWide(path.c_str()), 0, m_access, &key) != ERROR_SUCCESS) return lines;
    DumpKey(key, CMemoryRegistry::RootLabel(root) + "\\" + AsciiText(path), &lines);
    RegCloseKey(key);
    return lines;
  }

  std::string DescribeValueAt(HKEY root, const std::u16string& path, const std::u16string& name) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, AsWide(path.c_str()), 0, m_access, &key) != ERROR_SUCCESS) return "";
    DWORD type = 0;
    DWORD size = 0;
    std::string line;
    if (RegQueryValueExW(key, AsWide(name.c_str()), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::vector<uint8_t> data(size);
      if (RegQueryValueExW(key, AsWide(name.c_str()), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
        data.resize(size);
        line = CMemoryRegistry::RootLabel(root) + "\\" + AsciiText(path) + " \"" + AsciiText(name) +
               "\" = " + CMemoryRegistry::DescribeValue(type, data);
      }
    }
    RegCloseKey(key);
    return line;
  }

  bool HasKey(HKEY root, const std::u16string& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, AsWide(path.c_str()), 0, m_access, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

 private:
  void DumpKey(HKEY key, const std::string& label, std::vector<std::string>* lines) {
    lines->push_back(label);
    struct Value {
      std::wstring name;
      DWORD type;
      std::vector<uint8_t> data;
    };
    std::vector<Value> values;
    for (DWORD index = 0;; ++index) {
      wchar_t name[16384];
      DWORD nameLength = 16384;
      DWORD type = 0;
      DWORD size = 0;
      if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      Value value{std::wstring(name, nameLength), type, std::vector<uint8_t>(size)};
      nameLength = 16384;
      if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) {
        break;
      }
      value.data.resize(size);
      values.push_back(std::move(value));
    }
    std::sort(values.begin(), values.end(), [](const Value& a, const Value& b) { return NameBefore(a.name, b.name); });
    for (const Value& value : values) {
      const std::string name = value.name.empty() ? "@" : "\"" + PrintableName(value.name) + "\"";
      lines->push_back(label + " " + name + " = " + CMemoryRegistry::DescribeValue(value.type, value.data));
    }

    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD nameLength = 256;
      if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      subkeys.emplace_back(name, nameLength);
    }
    std::sort(subkeys.begin(), subkeys.end(), NameBefore);
    for (const std::wstring& name : subkeys) {
      HKEY subkey = nullptr;
      if (RegOpenKeyExW(key, name.c_str(), 0, m_access, &subkey) != ERROR_SUCCESS) continue;
      DumpKey(subkey, label + "\\" + PrintableName(name), lines);
      RegCloseKey(subkey);
    }
  }

  REGSAM m_access;
};

inline bool CreateRealKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

inline bool SetRealString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG error = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return error == ERROR_SUCCESS;
}

}  // namespace quorvel
