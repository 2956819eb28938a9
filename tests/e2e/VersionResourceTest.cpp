// quorvel.dll's version resource: what Windows shows in the file's properties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuorvelVersion.h"
#include "platform/WinApi.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/WinePath.h"

namespace quorvel {
namespace {

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = WinePath(kBuiltDll);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "quorvel.dll has no version resource";
    m_block.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, m_block.data()));
  }

  // A string of the US English, UTF-16 block, or "" when missing.
  std::wstring Text(const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(m_block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) || text == nullptr) {
      return std::wstring();
    }
    return text;
  }

  std::vector<BYTE> m_block;
};

TEST_F(VersionResource, NamesTheProductItsVersionAndCopyright) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(m_block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), size);
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  const WORD parts[] = {QUORVEL_VERSION};
  EXPECT_EQ(MAKELONG(parts[1], parts[0]), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(parts[3], parts[2]), fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

  EXPECT_EQ(L"Quorvel", Text(L"ProductName"));
  const std::wstring version = std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." +
                                std::to_wstring(parts[2]) + L"." + std::to_wstring(parts[3]);
  EXPECT_EQ(version, Text(L"FileVersion"));
  EXPECT_EQ(version, Text(L"ProductVersion"));
  EXPECT_EQ(L"" QUORVEL_VERSION_TEXT, version);
  EXPECT_EQ(L"" QUORVEL_FILE_NAME, Text(L"OriginalFilename"));
  EXPECT_NE(std::wstring::npos, Text(L"FileDescription").find(L"Select All")) << "a description a user recognises";
  EXPECT_EQ(0u, Text(L"LegalCopyright").rfind(L"Copyright", 0));

  // The translation table points Explorer at that block: US English, UTF-16.
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(m_block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
  ASSERT_EQ(4u, size);
  EXPECT_EQ(0x0409, translation[0]);
  EXPECT_EQ(1200, translation[1]);
}

}  // namespace
}  // namespace quorvel
