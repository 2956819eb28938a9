// The handler reaching the platform's own folder view through its site, with
// no window passed to InvokeCommand, against the window-class route on the
// same folder: each service of the site must lead to exactly the selection
// and focus that the window route gives; a site whose services fail falls
// through to the window route; a view of another folder is left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
using Services = CFolderViewSite::Services;

struct Outcome {
  StringList selected;  // sorted
  StringList focused;
  std::wstring route;
};

struct RouteCase {
  const char* what;
  StringList clicked;
  StringList removedBeforeChoosing;
  StringList selected;  // sorted
};

void PrintTo(const RouteCase& c, std::ostream* os) { *os << c.what; }

class ViewRoute : public SampleFolderWindowTest<RouteCase> {
 protected:
  // From c.doc selected and focused, and the clicked entries selected too
  // where they still exist, a new handler is driven through one right-click.
  Outcome RightClick(IDataObject* dataObject, const StringList& clicked, bool clickedExist,
                     const RightClickOptions& options) {
    SelectAsClicked(clicked, clickedExist);
    CScopedComPtr<IShellExtInit> handler;
    EXPECT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
    RightClickReport report;
    std::wstring error;
    EXPECT_EQ(S_OK, DriveRightClick(handler.Get(), *m_window, dataObject, options, &report, &error))
        << CTempFolder::Narrow(error);
    EXPECT_EQ(S_OK, report.invokeCommand);
    return {Named(*m_window, &CFolderWindow::ItemState::selected), Named(*m_window, &CFolderWindow::ItemState::focused),
            report.viewRoute};
  }
};

TEST_P(ViewRoute, EachServiceOfTheSiteSelectsWhatTheWindowRouteSelects) {
  const RouteCase& c = GetParam();
  CScopedComPtr<IDataObject> dataObject;
  ASSERT_EQ(S_OK, m_window->CreateDataObject(c.clicked, dataObject.Receive()));
  for (const std::wstring& name : c.removedBeforeChoosing) m_folder.Remove(name);
  const bool clickedExist = c.removedBeforeChoosing.empty();

  RightClickOptions windowOnly;
  windowOnly.giveSite = false;
  const Outcome window = RightClick(dataObject.Get(), c.clicked, clickedExist, windowOnly);
  EXPECT_EQ(c.selected, window.selected);
  EXPECT_EQ(1u, window.focused.size());

  struct SiteRun {
    const char* what;
    Services services;
    bool passWindow;
    const wchar_t* route;
  };
  const SiteRun runs[] = {
      {"the view service alone", Services::kViewAndBrowser, false, L"view"},
      {"the top-level browser alone", Services::kBrowserOnly, false, L"browser"},
      {"a site whose services fail, with the window", Services::kNone, true, L"window"},
  };
  for (const SiteRun& run : runs) {
    RightClickOptions options;
    options.services = run.services;
    options.passWindow = run.passWindow;
    const Outcome site = RightClick(dataObject.Get(), c.clicked, clickedExist, options);
    EXPECT_EQ(window.selected, site.selected) << run.what;
    EXPECT_EQ(window.focused, site.focused) << run.what;
    EXPECT_EQ(run.route, site.route) << run.what;
  }

  // Without a window, a site that leads nowhere changes nothing.
  RightClickOptions nowhere;
  nowhere.services = Services::kNone;
  nowhere.passWindow = false;
  const Outcome none = RightClick(dataObject.Get(), c.clicked, clickedExist, nowhere);
  EXPECT_EQ(L"none", none.route);
  StringList before = {L"c.doc"};
  if (clickedExist) before.insert(before.end(), c.clicked.begin(), c.clicked.end());
  std::sort(before.begin(), before.end());
  before.erase(std::unique(before.begin(), before.end()), before.end());
  EXPECT_EQ(before, none.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewRoute,
    ::testing::Values(
        // Both letter cases, and the folder old.txt; notes.txt_old only by its alias.
        RouteCase{"LetterCaseAndAFolder", {L"a.txt"}, {}, {L"a.txt", L"b.TXT", L"old.txt"}},
        RouteCase{"PatternInCapitals", {L"b.TXT"}, {}, {L"a.txt", L"b.TXT", L"old.txt"}},
        // page.html is listed for *.htm by its short-name alias only.
        RouteCase{"AliasOnlyEntry", {L"x.htm"}, {}, {L"x.htm"}},
        // The matching entries were deleted while the menu was open.
        RouteCase{"NoMatch", {L"a.txt", L"b.TXT"}, {L"a.txt", L"b.TXT", L"old.txt"}, {}}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return std::string(info.param.what); });

// A site that leads to a view of another folder: that view is never touched;
// the window route still serves when the window is passed.
TEST(ViewRouteToAnotherFolder, LeavesThatViewAlone) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    ClickedAndOtherFolderWindows windows;
    ASSERT_NO_FATAL_FAILURE(windows.Open());
    CFolderWindow& clicked = windows.clicked;
    CFolderWindow& other = windows.other;
    CScopedComPtr<IDataObject> dataObject;
    ASSERT_EQ(S_OK, clicked.CreateDataObject({L"a.txt"}, dataObject.Receive()));

    for (const bool passWindow : {false, true}) {
      ASSERT_EQ(S_OK, clicked.SelectEntries({L"c.doc"}, false));
      ASSERT_EQ(S_OK, other.SelectEntries({L"y.doc"}, false));
      CScopedComPtr<IShellExtInit> handler;
      ASSERT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
      RightClickOptions options;
      options.siteBrowser = other.GetBrowser();
      options.passWindow = passWindow;
      RightClickReport report;
      std::wstring error;
      ASSERT_EQ(S_OK, DriveRightClick(handler.Get(), clicked, dataObject.Get(), options, &report, &error))
          << CTempFolder::Narrow(error);
      EXPECT_EQ(S_OK, report.invokeCommand);
      EXPECT_EQ(L"browser", report.viewRoute) << "both services were asked";

      EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::selected)) << passWindow;
      EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::focused)) << passWindow;
      EXPECT_EQ(passWindow ? StringList{L"a.txt"} : StringList{L"c.doc"},
                Named(clicked, &CFolderWindow::ItemState::selected))
          << passWindow;
    }
  }
  OleUninitialize();
}

}  // namespace
}  // namespace quorvel
