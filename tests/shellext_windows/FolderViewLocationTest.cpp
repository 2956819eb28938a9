// Finding the folder view's list control in real window trees, and a list
// item by the file its identifier list names.
#include <gtest/gtest.h>

#include <string>

#include "shellext/WindowSearch.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindows.h"
#include "tools/ItemByName.h"

namespace quorvel {
namespace {

const CWideString kFolderViewClass(u"SHELLDLL_DefView");

// Each test registers the folder-view class it needs and makes its frame
// after it, so that the frame's windows are gone before the class goes.
class WindowTree : public ::testing::Test {
 protected:
  static HWND Child(const wchar_t* className, HWND parent) { return CreateTestWindow(className, parent); }
  static HWND List(HWND parent) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, list);
    return list;
  }
  static HWND Frame() { return CreateTestWindow(L"QuorvelTestFrame"); }

  CTestWindowClass m_frameClass{L"QuorvelTestFrame"};
  CTestWindowClass m_panelClass{L"QuorvelTestPanel"};
};

TEST_F(WindowTree, TheStartWindowItselfMayBeTheFolderView) {
  CTestWindowClass viewClass(L"SHELLDLL_DefView");
  CScopedWindow frame(Frame());
  const HWND view = Child(L"SHELLDLL_DefView", frame.Get());
  const HWND inner = Child(L"SHELLDLL_DefView", view);
  ASSERT_NE(nullptr, inner);
  EXPECT_EQ(view, FindWindowByClass(view, kFolderViewClass));
  EXPECT_EQ(view, FindWindowByClass(frame.Get(), kFolderViewClass));
  EXPECT_EQ(inner, FindWindowByClass(inner, kFolderViewClass));
}

TEST_F(WindowTree, ClassNamesMatchInAnyLetterCase) {
  CTestWindowClass viewClass(L"shelldll_defview");
  CScopedWindow frame(Frame());
  const HWND panel = Child(L"QuorvelTestPanel", frame.Get());
  const HWND view = Child(L"shelldll_defview", panel);
  const HWND list = List(view);
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(view, FindWindowByClass(frame.Get(), kFolderViewClass));
  EXPECT_EQ(list, FindListView(frame.Get()));
  EXPECT_EQ(nullptr, FindWindowByClass(frame.Get(), CWideString(u"SHELLDLL_DefVie")));
}

TEST_F(WindowTree, OfTwoFolderViewsTheFirstDepthFirstTopmostFirstWins) {
  CTestWindowClass viewClass(L"SHELLDLL_DefView");
  CScopedWindow frame(Frame());
  // frame > panel > panel > view > list, and frame > view > list.
  const HWND panel = Child(L"QuorvelTestPanel", frame.Get());
  const HWND deepView = Child(L"SHELLDLL_DefView", Child(L"QuorvelTestPanel", panel));
  const HWND deepList = List(deepView);
  const HWND nearView = Child(L"SHELLDLL_DefView", frame.Get());
  const HWND nearList = List(nearView);
  ASSERT_NE(nullptr, nearList);

  // The whole subtree of the topmost child is searched before its siblings.
  SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(deepList, FindListView(frame.Get()));
  SetWindowPos(nearView, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(nearList, FindListView(frame.Get()));
}

TEST_F(WindowTree, NoListControlWithoutOneInsideAFolderView) {
  CTestWindowClass viewClass(L"SHELLDLL_DefView");
  CScopedWindow frame(Frame());
  const HWND panel = Child(L"QuorvelTestPanel", frame.Get());
  const HWND listBesideTheView = List(panel);
  ASSERT_NE(nullptr, listBesideTheView);
  EXPECT_EQ(nullptr, FindListView(frame.Get())) << "no folder view at all";

  const HWND view = Child(L"SHELLDLL_DefView", frame.Get());
  Child(L"QuorvelTestPanel", view);
  EXPECT_EQ(nullptr, FindListView(frame.Get())) << "a folder view without a list control";
}

TEST_F(WindowTree, NothingLiesBelowANullWindow) {
  // A folder view among the desktop's top-level windows, which a search from
  // the desktop would meet.
  CTestWindowClass viewClass(L"SHELLDLL_DefView");
  CScopedWindow topLevelView(CreateTestWindow(L"SHELLDLL_DefView"));
  ASSERT_NE(nullptr, List(topLevelView.Get()));
  EXPECT_EQ(nullptr, FindWindowByClass(nullptr, kFolderViewClass));
  EXPECT_EQ(nullptr, FindListView(nullptr));
}

// A real list control whose items carry identifier lists: files of a real
// folder, a same-named file elsewhere, and items that name no file.
class ListOfIdLists : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder.AddFile(L"Report.txt");
    m_folder.AddFile(L".profile");
    m_folder.AddFile(L"notes.txt");
    m_folder.AddFolder(L"other");
    m_folder.AddFile(L"other\\report.txt");
  }

  CTempFolder m_folder;
  CTestWindowClass m_frameClass{L"QuorvelTestFrame"};
  CScopedWindow m_frame{CreateTestWindow(L"QuorvelTestFrame")};
  CIdListListView m_list{m_frame.Get()};
};

TEST_F(ListOfIdLists, FindsTheFirstItemNamingTheFileExactly) {
  EXPECT_EQ(-1, FindItemByName(m_list.Get(), CWideString(u"Report.txt"))) << "an empty list";

  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
  const int computerItem = m_list.AddIdList(computer, L"Computer");  // no file-system path
  const int nullItem = m_list.AddIdList(nullptr, L"no identifier list");
  const int report = m_list.AddPath(m_folder.PathOf(L"Report.txt"));
  const int otherReport = m_list.AddPath(m_folder.PathOf(L"other\\report.txt"));
  m_list.AddPath(m_folder.PathOf(L".profile"));
  const int notes = m_list.AddPath(m_folder.PathOf(L"notes.txt"));
  m_list.AddPath(m_folder.PathOf(L"notes.txt"));
  ASSERT_EQ(0, computerItem);
  ASSERT_EQ(1, nullItem);

  struct Case {
    const char16_t* name;
    int index;
  };
  const Case cases[] = {
      {u"Report.txt", report},
      {u"report.txt", otherReport},  // the directory plays no role; the letter case does
      {u"REPORT.TXT", -1},
      {u"notes.txt", notes},  // the first of two
      {u".profile", -1},      // its file name is empty
      {u"Computer", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.index, FindItemByName(m_list.Get(), CWideString(c.name)))
        << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace quorvel
