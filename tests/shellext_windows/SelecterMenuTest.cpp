// The handler object as the shell drives it: Initialize, QueryContextMenu,
// GetCommandString and InvokeCommand, its interfaces and its menu bitmap.
#include "shellext/SelecterMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shellext/ResourceInstance.h"
#include "tests/shellext_windows/HandlerTestSupport.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindows.h"

namespace quorvel {
namespace {

constexpr wchar_t kHelpText[] = L"Click to select all files with this extension in the current folder";

std::vector<std::wstring> NumberedPaths(int count, const wchar_t* extension) {
  std::vector<std::wstring> paths;
  for (int i = 0; i < count; ++i) paths.push_back(L"C:\\data\\file" + std::to_wstring(i) + extension);
  return paths;
}

TEST(SelecterMenuObject, AnswersItsInterfacesWithOneIdentity) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CScopedComPtr<IContextMenu> contextMenu = ContextMenuOf(handler.Get());
  CScopedComPtr<IUnknown> fromInit;
  CScopedComPtr<IUnknown> fromMenu;
  ASSERT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, fromInit.ReceiveVoid()));
  ASSERT_EQ(S_OK, contextMenu->QueryInterface(IID_IUnknown, fromMenu.ReceiveVoid()));
  EXPECT_EQ(fromInit.Get(), fromMenu.Get());

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, handler->QueryInterface(IID_IClassFactory, &other));
  EXPECT_EQ(nullptr, other);
}

// --- The site -------------------------------------------------------------

// A site that only counts its references.
class CCountingSite final : public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++m_references); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--m_references); }
  LONG References() const noexcept { return m_references; }

 private:
  LONG m_references = 1;
};

TEST(SelecterMenuSite, IsHeldUntilSetSiteNullOrTheHandlersEnd) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CScopedComPtr<IObjectWithSite> withSite;
  ASSERT_EQ(S_OK, handler->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()));
  CScopedComPtr<IUnknown> identity;
  CScopedComPtr<IUnknown> identityFromSite;
  ASSERT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
  ASSERT_EQ(S_OK, withSite->QueryInterface(IID_IUnknown, identityFromSite.ReceiveVoid()));
  EXPECT_EQ(identity.Get(), identityFromSite.Get()) << "the identity stays the first entry's";

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_FAIL, withSite->GetSite(IID_IUnknown, &out)) << "no site yet";
  EXPECT_EQ(nullptr, out);

  CCountingSite first;
  CCountingSite second;
  EXPECT_EQ(S_OK, withSite->SetSite(&first));
  EXPECT_EQ(2, first.References());
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, withSite->GetSite(IID_IServiceProvider, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(S_OK, withSite->GetSite(IID_IUnknown, &out));
  EXPECT_EQ(static_cast<IUnknown*>(&first), out);
  EXPECT_EQ(3, first.References());
  first.Release();

  EXPECT_EQ(S_OK, withSite->SetSite(&second)) << "a new site replaces the old";
  EXPECT_EQ(1, first.References());
  EXPECT_EQ(2, second.References());
  EXPECT_EQ(S_OK, withSite->SetSite(nullptr));
  EXPECT_EQ(1, second.References());
  EXPECT_EQ(E_FAIL, withSite->GetSite(IID_IUnknown, &out));
  EXPECT_EQ(E_POINTER, withSite->GetSite(IID_IUnknown, nullptr));

  EXPECT_EQ(S_OK, withSite->SetSite(&first));
  EXPECT_EQ(2, first.References());
  identity.Reset();
  identityFromSite.Reset();
  withSite.Reset();
  handler.Reset();
  EXPECT_EQ(1, first.References()) << "the handler's end lets the site go";
}

// --- Initialize ---------------------------------------------------------

// (An empty drop list cannot be tried here: Wine's DragQueryFileW counts it
// as one file with an empty path.)
struct CountCase {
  const char* what;
  int count;
  HRESULT expected;
};

class InitializeCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(InitializeCount, AcceptsOneTo250FilesAndOtherwiseKeepsTheSelection) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject first({L"C:\\data\\report.TXT"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &first, nullptr));

  CDropFilesDataObject second(NumberedPaths(GetParam().count, L".doc"));
  EXPECT_EQ(GetParam().expected, handler->Initialize(nullptr, &second, nullptr));
  EXPECT_EQ(0, second.OutstandingMedia()) << "the medium is released";
  EXPECT_EQ(0, second.MediaReleasedWhileLocked()) << "the memory is unlocked before";
  EXPECT_EQ(GetParam().expected == S_OK ? L"Select All .doc Files" : L"Select All .TXT Files", MenuTextOf(handler.Get()));
}

INSTANTIATE_TEST_SUITE_P(Cases, InitializeCount,
                         ::testing::Values(CountCase{"One", 1, S_OK}, CountCase{"Limit", 250, S_OK},
                                           CountCase{"OverLimit", 251, E_INVALIDARG}),
                         [](const ::testing::TestParamInfo<CountCase>& info) { return std::string(info.param.what); });

struct RefusalCase {
  const char* what;
  CDropFilesDataObject::Kind kind;
};

class InitializeRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(InitializeRefusal, RefusesWithoutADropListInGlobalMemory) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject first({L"C:\\data\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &first, nullptr));

  CDropFilesDataObject refused({L"C:\\data\\b.doc"}, GetParam().kind);
  EXPECT_EQ(E_INVALIDARG, handler->Initialize(nullptr, &refused, nullptr));
  EXPECT_EQ(2, refused.References()) << "the data object is still held";
  EXPECT_EQ(1, first.References()) << "the earlier data object was let go";
  EXPECT_EQ(0, refused.OutsideStreamReferences()) << "a medium of another type is released";
  EXPECT_EQ(L"Select All .txt Files", MenuTextOf(handler.Get())) << "the selection is kept";
}

INSTANTIATE_TEST_SUITE_P(Cases, InitializeRefusal,
                         ::testing::Values(RefusalCase{"NoDropList", CDropFilesDataObject::Kind::NoDropList},
                                           RefusalCase{"NullMemory", CDropFilesDataObject::Kind::NullMemory},
                                           RefusalCase{"StreamMedium", CDropFilesDataObject::Kind::StreamMedium}),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.what); });

TEST(SelecterMenuInitialize, WithoutADataObjectHoldsNoneAndLeavesTheOldOneAlone) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data({L"C:\\data\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  EXPECT_EQ(2, data.References());

  EXPECT_EQ(E_INVALIDARG, handler->Initialize(nullptr, nullptr, nullptr));
  EXPECT_EQ(1, data.References()) << "the old data object is released";
  EXPECT_EQ(1, data.GetDataCalls()) << "and not asked again";
  handler.Reset();
  EXPECT_EQ(1, data.References()) << "nothing is released twice";
}

TEST(SelecterMenuInitialize, HoldsTheLastDataObjectUntilTheHandlerGoes) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject first({L"C:\\data\\a.txt", L"C:\\data\\b.txt"});
  CDropFilesDataObject second({L"C:\\other\\c.doc", L"C:\\other\\d.doc"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &first, nullptr));
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &second, nullptr));
  EXPECT_EQ(1, first.References());
  EXPECT_EQ(2, second.References());
  EXPECT_EQ(L"Select All .doc Files", MenuTextOf(handler.Get())) << "the second selection replaced the first";
  handler.Reset();
  EXPECT_EQ(1, second.References());
}

// --- QueryContextMenu ---------------------------------------------------

struct MenuTextCase {
  const char* what;
  std::vector<std::wstring> paths;
  const wchar_t* text;
};

class MenuText : public ::testing::TestWithParam<MenuTextCase> {};

TEST_P(MenuText, NamesTheMostFrequentExtension) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data(GetParam().paths);
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  EXPECT_EQ(GetParam().text, MenuTextOf(handler.Get()));
  EXPECT_EQ(GetParam().text, MenuTextOf(handler.Get())) << "a second analysis names the same extension";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuText,
    ::testing::Values(MenuTextCase{"LetterCaseKept", {L"C:\\d\\report.TXT"}, L"Select All .TXT Files"},
                      MenuTextCase{"MostFrequent", {L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc"}, L"Select All .txt Files"},
                      MenuTextCase{"TieGoesToTheLowerBucket", {L"C:\\d\\a.txt", L"C:\\d\\b.doc"}, L"Select All .doc Files"},
                      MenuTextCase{"LastDotOnly", {L"C:\\d\\archive.tar.gz"}, L"Select All .gz Files"},
                      MenuTextCase{"NoExtension", {L"C:\\d\\README"}, L"Select All  Files"}),
    [](const ::testing::TestParamInfo<MenuTextCase>& info) { return std::string(info.param.what); });

TEST(SelecterMenuQueryContextMenu, InsertsOneStringItemWithItsBitmapAtThePosition) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data({L"C:\\d\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  CScopedMenu menu(CreatePopupMenu());
  AppendMenuW(menu.Get(), MF_STRING, 100, L"Open");
  AppendMenuW(menu.Get(), MF_STRING, 101, L"Properties");

  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), ContextMenuOf(handler.Get())->QueryContextMenu(menu.Get(), 1, 40, 50, CMF_NORMAL | CMF_EXPLORE));
  ASSERT_EQ(3, GetMenuItemCount(menu.Get()));
  EXPECT_EQ(100u, GetMenuItemID(menu.Get(), 0));
  EXPECT_EQ(40u, GetMenuItemID(menu.Get(), 1));
  EXPECT_EQ(101u, GetMenuItemID(menu.Get(), 2));

  wchar_t text[64] = {};
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU | MIIM_CHECKMARKS;
  info.dwTypeData = text;
  info.cch = 64;
  ASSERT_TRUE(GetMenuItemInfoW(menu.Get(), 1, TRUE, &info));
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), info.fType);
  EXPECT_EQ(nullptr, info.hSubMenu);
  EXPECT_STREQ(L"Select All .txt Files", text);
  ASSERT_NE(nullptr, info.hbmpChecked);
  EXPECT_EQ(info.hbmpChecked, info.hbmpUnchecked);
  BITMAP bitmap = {};
  ASSERT_NE(0, GetObjectW(info.hbmpChecked, sizeof(bitmap), &bitmap));
  EXPECT_EQ(13, bitmap.bmWidth);
  EXPECT_EQ(13, bitmap.bmHeight);
}

TEST(SelecterMenuQueryContextMenu, AddsNothingForTheDefaultItemOnly) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data({L"C:\\d\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  CScopedMenu menu(CreatePopupMenu());
  AppendMenuW(menu.Get(), MF_STRING, 100, L"Open");
  EXPECT_EQ(S_OK, ContextMenuOf(handler.Get())->QueryContextMenu(menu.Get(), 0, 1, 50, CMF_DEFAULTONLY | CMF_EXPLORE));
  EXPECT_EQ(1, GetMenuItemCount(menu.Get()));
}

TEST(SelecterMenuQueryContextMenu, CountsItsItemEvenWhereTheMenuRefusesIt) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data({L"C:\\d\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  CScopedMenu destroyed(CreatePopupMenu());
  const HMENU destroyedHandle = destroyed.Get();
  destroyed.Reset();
  CScopedMenu empty(CreatePopupMenu());
  struct Case {
    const char* what;
    HMENU menu;
    UINT position;
    int itemsAfter;  // -1: no menu to count
  };
  const Case cases[] = {
      {"NoMenu", nullptr, 0, -1},
      {"DestroyedMenu", destroyedHandle, 0, -1},
      // The item goes to the end; there is no item at the position for the bitmap.
      {"PositionPastTheEnd", empty.Get(), 5, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(1, ContextMenuOf(handler.Get())->QueryContextMenu(c.menu, c.position, 1, 50, CMF_NORMAL)) << c.what;
    if (c.itemsAfter >= 0) {
      EXPECT_EQ(c.itemsAfter, GetMenuItemCount(c.menu)) << c.what;
    }
  }
}

// --- The menu bitmap ----------------------------------------------------

TEST(SelecterMenuBitmap, Resource202Is13By13With8BitsAnd17Colours) {
  const HRSRC resource = FindResourceW(ResourceInstance(), MAKEINTRESOURCEW(202), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
  ASSERT_NE(nullptr, resource);
  const HGLOBAL loaded = LoadResource(ResourceInstance(), resource);
  ASSERT_NE(nullptr, loaded);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
  ASSERT_NE(nullptr, header);
  ASSERT_GE(SizeofResource(ResourceInstance(), resource), sizeof(BITMAPINFOHEADER) + 17 * sizeof(RGBQUAD) + 16 * 13);
  EXPECT_EQ(13, header->biWidth);
  EXPECT_EQ(13, header->biHeight);
  EXPECT_EQ(8, header->biBitCount);
  EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
  EXPECT_EQ(17u, header->biClrUsed);

  // Every pixel names one of the 17 colours; the picture uses all of them.
  const auto* pixels = reinterpret_cast<const BYTE*>(header) + header->biSize + 17 * sizeof(RGBQUAD);
  bool used[17] = {};
  for (int row = 0; row < 13; ++row) {
    for (int column = 0; column < 13; ++column) {
      const BYTE index = pixels[row * 16 + column];
      ASSERT_LT(index, 17) << "row " << row << ", column " << column;
      used[index] = true;
    }
  }
  for (int index = 0; index < 17; ++index) EXPECT_TRUE(used[index]) << "colour " << index;
}

TEST(SelecterMenuBitmap, IsFreedWithTheHandler) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CDropFilesDataObject data({L"C:\\d\\a.txt"});
  ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
  CScopedMenu menu(CreatePopupMenu());
  ASSERT_EQ(1, ContextMenuOf(handler.Get())->QueryContextMenu(menu.Get(), 0, 1, 50, CMF_NORMAL));
  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_CHECKMARKS;
  ASSERT_TRUE(GetMenuItemInfoW(menu.Get(), 0, TRUE, &info));
  BITMAP bitmap = {};
  ASSERT_NE(0, GetObjectW(info.hbmpChecked, sizeof(bitmap), &bitmap)) << "valid while the menu is open";

  handler.Reset();
  EXPECT_EQ(0, GetObjectW(info.hbmpChecked, sizeof(bitmap), &bitmap)) << "deleted with the handler";
}

// --- GetCommandString ---------------------------------------------------

struct HelpTextCase {
  const char* what;
  UINT type;
  UINT cchMax;
  const wchar_t* expected;
};

class HelpText : public ::testing::TestWithParam<HelpTextCase> {};

TEST_P(HelpText, IsCutToTheBufferInBothForms) {
  const HelpTextCase& c = GetParam();
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  constexpr size_t kBytes = 512;
  BYTE buffer[kBytes];
  std::memset(buffer, 0x5A, kBytes);

  EXPECT_EQ(S_OK, ContextMenuOf(handler.Get())->GetCommandString(0, c.type, nullptr, reinterpret_cast<CHAR*>(buffer), c.cchMax));
  const size_t unitSize = c.type == GCS_HELPTEXTW ? sizeof(wchar_t) : 1;
  std::wstring text;
  for (size_t i = 0; i < c.cchMax; ++i) {
    const unsigned unit = unitSize == 2 ? reinterpret_cast<const wchar_t*>(buffer)[i] : buffer[i];
    if (unit == 0) break;
    text += static_cast<wchar_t>(unit);
  }
  EXPECT_EQ(c.expected, text);
  for (size_t i = c.cchMax * unitSize; i < kBytes; ++i) ASSERT_EQ(0x5A, buffer[i]) << "written beyond cchMax at byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, HelpText,
                         ::testing::Values(HelpTextCase{"WideCut", GCS_HELPTEXTW, 10, L"Click to "},
                                           HelpTextCase{"AnsiCut", GCS_HELPTEXTA, 10, L"Click to "},
                                           HelpTextCase{"WideWhole", GCS_HELPTEXTW, 200, kHelpText},
                                           HelpTextCase{"AnsiWhole", GCS_HELPTEXTA, 200, kHelpText},
                                           HelpTextCase{"WideTerminatorOnly", GCS_HELPTEXTW, 1, L""},
                                           HelpTextCase{"AnsiTerminatorOnly", GCS_HELPTEXTA, 1, L""}),
                         [](const ::testing::TestParamInfo<HelpTextCase>& info) { return std::string(info.param.what); });

TEST(SelecterMenuGetCommandString, RefusesOtherCommandsAndRequestTypes) {
  CScopedComPtr<IShellExtInit> handler = NewHandler();
  CScopedComPtr<IContextMenu> contextMenu = ContextMenuOf(handler.Get());
  struct Request {
    UINT_PTR offset;
    UINT type;
  };
  const Request refused[] = {{1, GCS_HELPTEXTW}, {1, GCS_HELPTEXTA}, {0, GCS_VERBW},  {0, GCS_VERBA},
                             {0, GCS_VALIDATEW}, {0, GCS_VALIDATEA}, {0, 0x7FFFu}};
  for (const Request& request : refused) {
    wchar_t buffer[64];
    std::wmemset(buffer, L'#', 64);
    EXPECT_EQ(E_INVALIDARG, contextMenu->GetCommandString(request.offset, request.type, nullptr, reinterpret_cast<CHAR*>(buffer), 64))
        << "offset " << request.offset << ", type " << request.type;
    EXPECT_EQ(L'#', buffer[0]) << "nothing is written";
  }
  EXPECT_EQ(E_INVALIDARG, contextMenu->GetCommandString(0, GCS_HELPTEXTW, nullptr, nullptr, 64));
}

// --- InvokeCommand ------------------------------------------------------

// A folder window made of windows of registered classes: a frame holding a
// "SHELLDLL_DefView" with a real list control whose items carry the
// identifier lists of a real folder's entries. c.doc starts selected.
class FolderWindowOfTestClasses : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc"}) m_folder.AddFile(name);
    m_frame.Reset(CreateTestWindow(L"QuorvelTestFrame"));
    m_view.Reset(CreateTestWindow(L"SHELLDLL_DefView", m_frame.Get()));
    m_list = std::make_unique<CIdListListView>(m_view.Get());
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc"}) m_list->AddPath(m_folder.PathOf(name));
    m_list->SetState(2, LVIS_SELECTED | LVIS_FOCUSED);
  }
  void TearDown() override {
    m_list.reset();
    m_view.Reset();
    m_frame.Reset();
  }

  // Right-clicks `paths` and chooses the item in the window `target`.
  HRESULT RightClickAndChoose(const std::vector<std::wstring>& paths, HWND target, LPCSTR verb = MAKEINTRESOURCEA(0)) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data(paths);
    EXPECT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
    MenuTextOf(handler.Get());
    return InvokeItem(handler.Get(), target, verb);
  }

  std::vector<std::wstring> Selected() const { return m_list->ItemsWith(LVIS_SELECTED); }

  CTempFolder m_folder;
  CTestWindowClass m_frameClass{L"QuorvelTestFrame"};
  CTestWindowClass m_viewClass{L"SHELLDLL_DefView"};
  CScopedWindow m_frame;
  CScopedWindow m_view;
  std::unique_ptr<CIdListListView> m_list;
};

using StringList = std::vector<std::wstring>;

TEST_F(FolderWindowOfTestClasses, ChoosingTheItemSelectsTheMatchingEntries) {
  EXPECT_EQ(S_OK, RightClickAndChoose({m_folder.PathOf(L"a.txt")}, m_frame.Get()));
  EXPECT_EQ((StringList{m_folder.PathOf(L"a.txt"), m_folder.PathOf(L"b.TXT")}), Selected());
}

TEST_F(FolderWindowOfTestClasses, NothingChangesWhenTheCommandCannotApply) {
  const std::wstring longName = L"C:\\" + std::wstring(300, L'x') + L".txt";
  struct Case {
    const char* what;
    StringList paths;
    bool withView;
  };
  const Case cases[] = {
      {"NoExtension", {m_folder.PathOf(L"README")}, true},
      {"OnlyATrailingDot", {m_folder.PathOf(L"name.")}, true},
      {"NoFolderViewBelowTheWindow", {m_folder.PathOf(L"a.txt")}, false},
      // The first path does not fit the path object, so the folder is empty:
      // the listing would otherwise be made of the current drive's root.
      {"NoFolder", {longName, m_folder.PathOf(L"a.txt"), m_folder.PathOf(L"z.txt")}, true},
  };
  CScopedWindow elsewhere(CreateTestWindow(L"QuorvelTestFrame"));
  for (const Case& c : cases) {
    EXPECT_EQ(S_OK, RightClickAndChoose(c.paths, c.withView ? m_frame.Get() : elsewhere.Get())) << c.what;
    EXPECT_EQ(StringList{m_folder.PathOf(L"c.doc")}, Selected()) << c.what;
  }
}

TEST_F(FolderWindowOfTestClasses, VerbsAndOtherCommandOffsetsChangeNothing) {
  const StringList clicked = {m_folder.PathOf(L"a.txt")};
  EXPECT_EQ(E_INVALIDARG, RightClickAndChoose(clicked, m_frame.Get(), "open"));
  EXPECT_EQ(S_OK, RightClickAndChoose(clicked, m_frame.Get(), MAKEINTRESOURCEA(1)));
  EXPECT_EQ(StringList{m_folder.PathOf(L"c.doc")}, Selected());

#ifdef _WIN64
  // A verb text whose address has bits 16 to 31 clear is still a text, not
  // command offset 0. Such an address exists only above 4 GB.
  void* page = nullptr;
  for (uintptr_t address = uintptr_t{1} << 36; page == nullptr && address < (uintptr_t{1} << 44); address <<= 1) {
    page = VirtualAlloc(reinterpret_cast<void*>(address), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }
  ASSERT_NE(nullptr, page) << "no page above 4 GB";
  ASSERT_EQ(0u, reinterpret_cast<uintptr_t>(page) & 0xFFFFFFFFu);
  std::memcpy(page, "open", 5);
  EXPECT_EQ(E_INVALIDARG, RightClickAndChoose(clicked, m_frame.Get(), static_cast<LPCSTR>(page)));
  EXPECT_EQ(StringList{m_folder.PathOf(L"c.doc")}, Selected());
  VirtualFree(page, 0, MEM_RELEASE);
#endif

  CScopedComPtr<IShellExtInit> handler = NewHandler();
  EXPECT_EQ(E_INVALIDARG, ContextMenuOf(handler.Get())->InvokeCommand(nullptr));
}

}  // namespace
}  // namespace quorvel
