// Right-clicks in the platform's own folder window, in this process: the
// ExplorerBrowser control shows a real folder, the shell makes the data
// object of the clicked entries, and the handler is driven as the shell
// drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "shellext/SelecterMenu.h"
#include "tests/support/FolderWindowTesting.h"
#include "tests/support/TempFolder.h"
#include "tools/ContextMenuDriver.h"
#include "tools/FolderWindow.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;
constexpr wchar_t kHelpText[] = L"Click to select all files with this extension in the current folder";

struct RightClickCase {
  const char* what;
  StringList clicked;
  StringList removedBeforeChoosing;  // entries deleted while the menu is open
  const wchar_t* menuText;
  StringList selected;  // sorted
  const wchar_t* pattern;  // the listing whose last selected entry takes the focus
};

void PrintTo(const RightClickCase& c, std::ostream* os) { *os << c.what; }

class PlatformFolderWindow : public ::testing::TestWithParam<RightClickCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"page.html", L"test.log_1", L"x.htm", L".profile"}) {
      m_folder.AddFile(name);
    }
    m_folder.AddFolder(L"old.txt");
    m_window = std::make_unique<CFolderWindow>();
    ASSERT_EQ(S_OK, m_window->Open(m_folder.Path(), 640, 400)) << CTempFolder::Narrow(m_window->GetError());
  }
  void TearDown() override {
    m_window.reset();
    if (m_oleInitialised) OleUninitialize();
  }

  StringList Named(bool CFolderWindow::ItemState::*bit) { return quorvel::Named(*m_window, bit); }

  CTempFolder m_folder;
  std::unique_ptr<CFolderWindow> m_window;
  bool m_oleInitialised = false;
};

TEST_P(PlatformFolderWindow, RightClickAndChoosingTheItemSelectsTheMatchingEntries) {
  const RightClickCase& c = GetParam();
  // The view shows every entry but the dot file.
  EXPECT_EQ(7, SendMessageW(m_window->GetListView(), LVM_GETITEMCOUNT, 0, 0));

  // c.doc was selected; the right-click selects the clicked entries.
  ASSERT_EQ(S_OK, m_window->SelectEntries({L"c.doc"}, false));
  ASSERT_EQ(S_OK, m_window->SelectEntries(c.clicked, true));
  CScopedComPtr<IDataObject> dataObject;
  ASSERT_EQ(S_OK, m_window->CreateDataObject(c.clicked, dataObject.Receive()));
  for (const std::wstring& name : c.removedBeforeChoosing) m_folder.Remove(name);

  CScopedComPtr<IShellExtInit> handler;
  ASSERT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
  RightClickReport report;
  std::wstring error;
  ASSERT_EQ(S_OK, DriveRightClick(handler.Get(), *m_window, dataObject.Get(), &report, &error))
      << CTempFolder::Narrow(error);
  handler.Reset();

  EXPECT_EQ(1, report.queryContextMenu);
  EXPECT_EQ(2, report.menuItemCount);
  EXPECT_EQ(c.menuText, report.menuText);
  EXPECT_EQ(kFirstCommandId, report.menuItemId);
  EXPECT_EQ(13, report.bitmapWidth);
  EXPECT_EQ(13, report.bitmapHeight);
  EXPECT_EQ(kHelpText, report.helpW);
  EXPECT_EQ(CTempFolder::Narrow(kHelpText), report.helpA);
  EXPECT_EQ(S_OK, report.invokeCommand);

  EXPECT_EQ(c.selected, Named(&CFolderWindow::ItemState::selected));
  if (c.selected.empty()) return;
  StringList focused;
  for (const std::wstring& name : m_folder.List(c.pattern)) {
    if (std::find(c.selected.begin(), c.selected.end(), name) != c.selected.end()) focused = {name};
  }
  EXPECT_EQ(focused, Named(&CFolderWindow::ItemState::focused)) << "the last match in listing order";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformFolderWindow,
    ::testing::Values(
        // Every letter case and the folder old.txt; c.doc loses its selection.
        RightClickCase{"OneTxt", {L"a.txt"}, {}, L"Select All .txt Files", {L"a.txt", L"b.TXT", L"old.txt"}, L"*.txt"},
        // Two .txt (one of them the folder) against one .doc.
        RightClickCase{"TheMostFrequentOfSeveral", {L"c.doc", L"a.txt", L"old.txt"}, {}, L"Select All .txt Files",
                       {L"a.txt", L"b.TXT", L"old.txt"}, L"*.txt"},
        // page.html is listed for *.htm by its short-name alias only.
        RightClickCase{"HtmIsNotHtml", {L"x.htm"}, {}, L"Select All .htm Files", {L"x.htm"}, L"*.htm"},
        // The clicked files were deleted while the menu was open.
        RightClickCase{"NothingMatchesAnyMore", {L"a.txt", L"b.TXT"}, {L"a.txt", L"b.TXT", L"old.txt"},
                       L"Select All .TXT Files", {}, L"*.txt"}),
    [](const ::testing::TestParamInfo<RightClickCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace quorvel
