// The script interpreter on the real registry of the Wine prefix, beneath a
// scratch key of the current user: the suite it shares with the in-memory
// registry (tests/registrar/InterpreterOnAnyRegistry.h).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/WindowsRegistry.h"
#include "tests/registrar/InterpreterOnAnyRegistry.h"
#include "tests/registrar_windows/RealRegistry.h"

namespace quorvel {
namespace {

constexpr wchar_t kScratch[] = L"Software\\QuorvelRegistrarTest";
constexpr char16_t kScratchPath[] = u"Software\\QuorvelRegistrarTest";
const std::string kScratchLabel = "HKCU\\Software\\QuorvelRegistrarTest";

// The real registry as a store of the shared suite: scripts run beneath a
// scratch key of the current user, made empty before and after each test.
class CWindowsStore {
 public:
  CWindowsStore() { Clear(); }
  ~CWindowsStore() { Clear(); }
  CWindowsStore(const CWindowsStore&) = delete;
  CWindowsStore& operator=(const CWindowsStore&) = delete;

  IRegistry& Registry() noexcept { return WindowsRegistry(); }
  static std::u16string Script(const std::u16string& body) {
    return u"HKCU { NoRemove Software { NoRemove QuorvelRegistrarTest { " + body + u" } } }";
  }
  std::vector<std::string> Dump() {
    std::vector<std::string> lines = m_view.DumpSubtree(HKEY_CURRENT_USER, kScratchPath);
    if (!lines.empty()) lines.erase(lines.begin());
    for (std::string& line : lines) line.replace(0, kScratchLabel.size(), "T");
    return lines;
  }
  void CreateKey(const std::u16string& path) { EXPECT_TRUE(CreateRealKey(HKEY_CURRENT_USER, Path(path))); }
  void SetString(const std::u16string& path, const char16_t* name, const std::u16string& text) {
    EXPECT_TRUE(SetRealString(HKEY_CURRENT_USER, Path(path), AsWide(name), std::wstring(text.begin(), text.end())));
  }
  bool HasKey(const std::u16string& path) {
    return m_view.HasKey(HKEY_CURRENT_USER, std::u16string(kScratchPath) + u"\\" + path);
  }

 private:
  static std::wstring Path(const std::u16string& below) {
    return std::wstring(kScratch) + L"\\" + std::wstring(below.begin(), below.end());
  }
  static void Clear() {
    const LONG error = RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    EXPECT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << error;
    EXPECT_TRUE(CreateRealKey(HKEY_CURRENT_USER, kScratch));
  }

  CRealRegistryView m_view;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(InterpreterOnWindowsRegistry, InterpreterOnAnyRegistry, CWindowsStore);

}  // namespace quorvel
