// The type-information holder on its own: loaded once from the registered
// type library, its name cache, and its release through the module's
// clean-up list.
#include <gtest/gtest.h>

#include "Quorvel.h"
#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/TypeLibraryKind.h"
#include "tests/support/WinePath.h"
#include "server/QuorvelModule.h"
#include "server/TypeInfoHolder.h"

namespace quorvel {
namespace {

const std::wstring kTypeLibraryPath = WinePath(kBuiltTypeLibrary);

class TypeInfoHolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    CScopedComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLib(kTypeLibraryPath.c_str(), library.Receive()));
    ASSERT_EQ(S_OK, RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(kTypeLibraryPath.c_str()), nullptr));
  }
  void TearDown() override {
    EXPECT_EQ(S_OK, UnRegisterTypeLib(LIBID_QuorvelLib, 1, 0, 0, kTypeLibSysKind));
    CoUninitialize();
  }

  DISPID IdOf(const wchar_t* name, HRESULT expected = S_OK) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(expected, m_holder.GetIDsOfNames(names, 1, 0, &id));
    return id;
  }

  CQuorvelModule m_module;
  CComTypeInfoHolder m_holder{&IID_ISelecterMenu, &LIBID_QuorvelLib, 1, 0};
};

TEST_F(TypeInfoHolder, LoadsOnceCachesNamesAndIsReleasedByTheModulesCleanup) {
  EXPECT_EQ(nullptr, m_holder.CachedTypeInfo());
  EXPECT_EQ(0x60010000, IdOf(L"GetTypeInfoCount"));
  ITypeInfo* loaded = m_holder.CachedTypeInfo();
  ASSERT_NE(nullptr, loaded);
  EXPECT_TRUE(m_holder.HasNameCache());

  // Exact names come from the cache, others from the type information; the
  // type information is not loaded again.
  EXPECT_EQ(0x60000002, IdOf(L"Release"));
  EXPECT_EQ(0x60000002, IdOf(L"RELEASE"));
  IdOf(L"Missing", DISP_E_UNKNOWNNAME);
  LPOLESTR two[] = {const_cast<LPOLESTR>(L"AddRef"), const_cast<LPOLESTR>(L"Release")};
  DISPID ids[2] = {};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, m_holder.GetIDsOfNames(two, 2, 0, ids)) << "the second name is no parameter";
  EXPECT_EQ(loaded, m_holder.CachedTypeInfo());

  ITypeInfo* handedOut = nullptr;
  ASSERT_EQ(S_OK, m_holder.GetTypeInfo(0, 0, &handedOut));
  EXPECT_EQ(loaded, handedOut);
  handedOut->Release();

  m_module.Terminate();
  EXPECT_EQ(nullptr, m_holder.CachedTypeInfo());
  EXPECT_FALSE(m_holder.HasNameCache());
}

TEST_F(TypeInfoHolder, NothingIsCachedWhileTheLibraryCannotBeLoaded) {
  ASSERT_EQ(S_OK, UnRegisterTypeLib(LIBID_QuorvelLib, 1, 0, 0, kTypeLibSysKind));
  const HRESULT notRegistered = m_holder.LoadTypeInfo(0);
  EXPECT_TRUE(FAILED(notRegistered));
  EXPECT_EQ(nullptr, m_holder.CachedTypeInfo());
  IdOf(L"Invoke", notRegistered);

  // Registered again, the next call loads it.
  CScopedComPtr<ITypeLib> library;
  ASSERT_EQ(S_OK, LoadTypeLib(kTypeLibraryPath.c_str(), library.Receive()));
  ASSERT_EQ(S_OK, RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(kTypeLibraryPath.c_str()), nullptr));
  EXPECT_EQ(0x60010003, IdOf(L"Invoke"));
}

}  // namespace
}  // namespace quorvel
