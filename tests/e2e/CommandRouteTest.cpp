// The Explorer command on the platform's own folder view, in this process,
// against the classic handler on the same folder and the same clicked files:
// each service of the site must lead to exactly the selection and focus the
// handler gives; a site whose services fail changes nothing; a view of
// another folder is left alone; the site and the item array are let go.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "shellext/SelecterCommand.h"
#include "shellext/SelecterMenu.h"
#include "tests/support/FolderWindowTesting.h"
#include "tests/support/TempFolder.h"
#include "tools/BatchingFolderView.h"
#include "tools/ContextMenuDriver.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderWindow.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;
using Services = CFolderViewSite::Services;

CScopedComPtr<IExplorerCommand> NewCommand() {
  CScopedComPtr<IExplorerCommand> command;
  EXPECT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
  return command;
}

struct CommandCase {
  const char* what;
  StringList clicked;
  StringList removedBeforeChoosing;
  StringList selected;  // sorted
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.what; }

class CommandRoute : public SampleFolderWindowTest<CommandCase> {};

TEST_P(CommandRoute, SelectsWhatTheClassicHandlerSelects) {
  const CommandCase& c = GetParam();
  CScopedComPtr<IDataObject> dataObject;
  ASSERT_EQ(S_OK, m_window->CreateDataObject(c.clicked, dataObject.Receive()));
  CScopedComPtr<IShellItemArray> items;
  std::wstring error;
  ASSERT_EQ(S_OK, CreateItemArray(*m_window, c.clicked, items.Receive(), &error)) << CTempFolder::Narrow(error);
  for (const std::wstring& name : c.removedBeforeChoosing) m_folder.Remove(name);
  const bool clickedExist = c.removedBeforeChoosing.empty();
  const ULONG itemReferences = References(items.Get());

  for (const Services services : {Services::kViewAndBrowser, Services::kBrowserOnly}) {
    SelectAsClicked(c.clicked, clickedExist);
    CScopedComPtr<IShellExtInit> handler;
    ASSERT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
    RightClickOptions classic;
    classic.services = services;
    classic.passWindow = false;
    RightClickReport menu;
    ASSERT_EQ(S_OK, DriveRightClick(handler.Get(), *m_window, dataObject.Get(), classic, &menu, &error))
        << CTempFolder::Narrow(error);
    const StringList classicSelected = Named(*m_window, &CFolderWindow::ItemState::selected);
    const StringList classicFocused = Named(*m_window, &CFolderWindow::ItemState::focused);
    EXPECT_EQ(c.selected, classicSelected);

    SelectAsClicked(c.clicked, clickedExist);
    CScopedComPtr<CFolderViewSite> site;
    site.Reset(new CFolderViewSite(m_window->GetBrowser(), services));
    ExplorerCommandOptions options;
    options.site = site.Get();
    ExplorerCommandReport report;
    {
      CScopedComPtr<IExplorerCommand> command = NewCommand();
      ASSERT_EQ(S_OK, DriveExplorerCommand(command.Get(), *m_window, items.Get(), options, &report, &error))
          << CTempFolder::Narrow(error);
    }
    EXPECT_EQ(ECS_ENABLED, report.state);
    EXPECT_EQ(menu.menuText, report.title);
    EXPECT_EQ(menu.helpW, report.toolTip);
    EXPECT_EQ(S_OK, report.invoke);
    EXPECT_EQ(menu.viewRoute, report.viewRoute);
    EXPECT_EQ(classicSelected, Named(*m_window, &CFolderWindow::ItemState::selected));
    EXPECT_EQ(classicFocused, Named(*m_window, &CFolderWindow::ItemState::focused));
    EXPECT_EQ(1u, classicFocused.size());
    EXPECT_EQ(1u, site->ReferenceCount()) << "the command let its site go";
    EXPECT_EQ(itemReferences, References(items.Get())) << "the command let the items go";
  }

  // A site whose services fail leads nowhere: the command succeeds and
  // nothing changes.
  SelectAsClicked(c.clicked, clickedExist);
  const StringList before = Named(*m_window, &CFolderWindow::ItemState::selected);
  ExplorerCommandOptions nowhere;
  nowhere.services = Services::kNone;
  ExplorerCommandReport report;
  ASSERT_EQ(S_OK, DriveExplorerCommand(NewCommand().Get(), *m_window, items.Get(), nowhere, &report, &error))
      << CTempFolder::Narrow(error);
  EXPECT_EQ(S_OK, report.invoke);
  EXPECT_EQ(L"none", report.viewRoute);
  EXPECT_EQ(before, Named(*m_window, &CFolderWindow::ItemState::selected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandRoute,
    ::testing::Values(
        // Both letter cases, and the folder old.txt; notes.txt_old only by its alias.
        CommandCase{"LetterCaseAndAFolder", {L"a.txt"}, {}, {L"a.txt", L"b.TXT", L"old.txt"}},
        CommandCase{"PatternInCapitals", {L"b.TXT", L"c.doc", L"a.txt"}, {}, {L"a.txt", L"b.TXT", L"old.txt"}},
        // page.html is listed for *.htm by its short-name alias only.
        CommandCase{"AliasOnlyEntry", {L"x.htm"}, {}, {L"x.htm"}},
        // The matching entries were deleted while the menu was open.
        CommandCase{"NoMatch", {L"a.txt", L"b.TXT"}, {L"a.txt", L"b.TXT", L"old.txt"}, {}}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.what); });

// A site that leads to a view of another folder: that view is never touched,
// and the clicked folder's window, which the command has no way to, neither.
TEST(CommandRouteToAnotherFolder, LeavesThatViewAlone) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    ClickedAndOtherFolderWindows windows;
    ASSERT_NO_FATAL_FAILURE(windows.Open());
    CFolderWindow& clicked = windows.clicked;
    CFolderWindow& other = windows.other;
    ASSERT_EQ(S_OK, clicked.SelectEntries({L"c.doc"}, false));
    ASSERT_EQ(S_OK, other.SelectEntries({L"y.doc"}, false));
    CScopedComPtr<IShellItemArray> items;
    std::wstring error;
    ASSERT_EQ(S_OK, CreateItemArray(clicked, {L"a.txt"}, items.Receive(), &error)) << CTempFolder::Narrow(error);

    ExplorerCommandOptions options;
    options.siteBrowser = other.GetBrowser();
    ExplorerCommandReport report;
    ASSERT_EQ(S_OK, DriveExplorerCommand(NewCommand().Get(), clicked, items.Get(), options, &report, &error))
        << CTempFolder::Narrow(error);
    EXPECT_EQ(S_OK, report.invoke);
    EXPECT_EQ(L"browser", report.viewRoute) << "both services were asked";
    EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::selected));
    EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::focused));
    EXPECT_EQ(StringList{L"c.doc"}, Named(clicked, &CFolderWindow::ItemState::selected));
  }
  OleUninitialize();
}

// A view that offers the batched calls (over the platform's, which does not):
// the command reads it with one Items batch and selects with one
// SelectAndPositionItems, the same selection and focus as with the per-item
// calls, and the number of calls on the view does not grow with the folder.
TEST(CommandOnABatchingView, SelectsTheSameWithCallsThatDoNotGrow) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  long callsAtFirstSize = -1;
  for (const int entries : {20, 200}) {
    CTempFolder folder;
    for (int i = 0; i < entries; ++i) folder.AddFile((std::to_wstring(i) + (i % 2 == 0 ? L".txt" : L".doc")).c_str());
    CFolderWindow window;
    ASSERT_EQ(S_OK, window.Open(folder.Path(), 640, 400)) << CTempFolder::Narrow(window.GetError());
    CScopedComPtr<IShellItemArray> items;
    std::wstring error;
    ASSERT_EQ(S_OK, CreateItemArray(window, {L"0.txt"}, items.Receive(), &error)) << CTempFolder::Narrow(error);

    StringList selectedPerItem;
    StringList focusedPerItem;
    for (const bool batching : {false, true}) {
      ASSERT_EQ(S_OK, window.SelectEntries({L"1.doc"}, false));
      CScopedComPtr<CFolderViewSite> site;
      site.Reset(new CFolderViewSite(window.GetBrowser(), Services::kViewAndBrowser));
      CScopedComPtr<IFolderView> platformView;
      ASSERT_EQ(S_OK, window.GetBrowser()->GetCurrentView(IID_IFolderView, platformView.ReceiveVoid()));
      CScopedComPtr<CBatchingFolderView> view;
      view.Reset(new CBatchingFolderView(platformView.Get()));
      if (batching) site->SetView(view.Get());
      ExplorerCommandOptions options;
      options.site = site.Get();
      ExplorerCommandReport report;
      ASSERT_EQ(S_OK, DriveExplorerCommand(NewCommand().Get(), window, items.Get(), options, &report, &error))
          << CTempFolder::Narrow(error);
      ASSERT_EQ(S_OK, report.invoke);
      const StringList selected = Named(window, &CFolderWindow::ItemState::selected);
      const StringList focused = Named(window, &CFolderWindow::ItemState::focused);
      EXPECT_EQ(static_cast<size_t>(entries / 2), selected.size()) << entries;
      if (!batching) {
        selectedPerItem = selected;
        focusedPerItem = focused;
        continue;
      }
      EXPECT_EQ(selectedPerItem, selected) << entries;
      EXPECT_EQ(focusedPerItem, focused) << entries;
      ExpectCallsInOneBatch(*view.Get(), entries, &callsAtFirstSize);
    }
  }
  OleUninitialize();
}

// What the menu shows while it opens, and when the command hides itself.
TEST(CommandAnswers, StateTitleAndTheFixedAnswers) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    CTempFolder folder;
    for (const wchar_t* name : {L"a.txt", L"b.doc", L"c.doc", L"Makefile", L"trailing."}) folder.AddFile(name);
    CFolderWindow window;
    ASSERT_EQ(S_OK, window.Open(folder.Path(), 640, 400)) << CTempFolder::Narrow(window.GetError());
    CScopedComPtr<IExplorerCommand> command = NewCommand();

    struct StateCase {
      StringList clicked;
      EXPCMDSTATE state;
      const wchar_t* title;  // when shown
    };
    const StateCase cases[] = {
        {{L"a.txt", L"b.doc", L"c.doc"}, ECS_ENABLED, L"Select All .doc Files"},
        {{L"Makefile", L"b.doc", L"c.doc"}, ECS_ENABLED, L"Select All .doc Files"},
        {{L"Makefile", L"a.txt"}, ECS_HIDDEN, nullptr},  // the handler's tie rule names no extension
        {{L"Makefile"}, ECS_HIDDEN, nullptr},                              // no extension
        {{L"trailing."}, ECS_HIDDEN, nullptr},                             // a dot alone
    };
    for (const StateCase& c : cases) {
      // Wine's array, read item by item, and one read through its data object.
      CScopedComPtr<IShellItemArray> wineItems;
      CScopedComPtr<CItemArrayWithDataObject> withDataObject;
      std::wstring error;
      ASSERT_EQ(S_OK, CreateItemArray(window, c.clicked, wineItems.Receive(), &error)) << CTempFolder::Narrow(error);
      ASSERT_EQ(S_OK, CreateItemArrayWithDataObject(window, c.clicked, withDataObject.Receive(), &error))
          << CTempFolder::Narrow(error);
      for (IShellItemArray* items : {wineItems.Get(), static_cast<IShellItemArray*>(withDataObject.Get())}) {
        EXPCMDSTATE state = 99;
        EXPECT_EQ(S_OK, command->GetState(items, FALSE, &state));
        EXPECT_EQ(c.state, state) << CTempFolder::Narrow(c.clicked[0]);
        if (c.title == nullptr) continue;
        LPWSTR title = nullptr;
        ASSERT_EQ(S_OK, command->GetTitle(items, &title));
        EXPECT_STREQ(c.title, title);
        CoTaskMemFree(title);
      }
      // Read through the drop list: of the items, the first alone, once per reading.
      EXPECT_EQ(withDataObject->Calls().at("IDataObject::GetData"), withDataObject->Calls().at("GetItemAt"));
      if (c.title == nullptr) continue;

      // The classic handler names the same extension for the same files.
      CScopedComPtr<IDataObject> dataObject;
      ASSERT_EQ(S_OK, window.CreateDataObject(c.clicked, dataObject.Receive()));
      CScopedComPtr<IShellExtInit> handler;
      ASSERT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
      RightClickOptions classic;
      classic.giveSite = false;
      RightClickReport menu;
      ASSERT_EQ(S_OK, DriveRightClick(handler.Get(), window, dataObject.Get(), classic, &menu, &error));
      EXPECT_EQ(c.title, menu.menuText);
    }

    // No items: hidden, and nothing to name or do.
    EXPCMDSTATE state = 99;
    EXPECT_EQ(S_OK, command->GetState(nullptr, TRUE, &state));
    EXPECT_EQ(ECS_HIDDEN, state);
    LPWSTR text = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_INVALIDARG, command->GetTitle(nullptr, &text));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(E_INVALIDARG, command->Invoke(nullptr, nullptr));
    EXPECT_EQ(E_POINTER, command->GetState(nullptr, TRUE, nullptr));

    GUID name = {};
    EXPECT_EQ(S_OK, command->GetCanonicalName(&name));
    EXPECT_TRUE(IsEqualGUID(kSelecterCommandCanonicalName, name));
    EXPCMDFLAGS flags = 99;
    EXPECT_EQ(S_OK, command->GetFlags(&flags));
    EXPECT_EQ(static_cast<EXPCMDFLAGS>(ECF_DEFAULT), flags);
    IEnumExplorerCommand* subCommands = reinterpret_cast<IEnumExplorerCommand*>(1);
    EXPECT_EQ(E_NOTIMPL, command->EnumSubCommands(&subCommands));
    EXPECT_EQ(nullptr, subCommands);
    CScopedComPtr<IObjectWithSite> withSite;
    ASSERT_EQ(S_OK, command->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()));
    CScopedComPtr<IUnknown> site;
    EXPECT_EQ(E_FAIL, withSite->GetSite(IID_IUnknown, site.ReceiveVoid())) << "no site held";
  }
  OleUninitialize();
}

// The icon: this module's path and resource 203, an icon group holding the
// four sizes Windows 11's menu asks for.
TEST(CommandAnswers, TheIconIsThisModulesResourceAtFourSizes) {
  CScopedComPtr<IExplorerCommand> command = NewCommand();
  LPWSTR icon = nullptr;
  ASSERT_EQ(S_OK, command->GetIcon(nullptr, &icon));
  const std::wstring location(icon);
  CoTaskMemFree(icon);
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  EXPECT_EQ(std::wstring(module) + L",-203", location);

  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(203), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
  ASSERT_NE(nullptr, group);
  const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
  ASSERT_NE(nullptr, directory);
  const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
  std::vector<int> sizes;
  for (WORD i = 0; i < count; ++i) sizes.push_back(directory[6 + 14 * i]);  // each entry's width
  EXPECT_EQ((std::vector<int>{16, 20, 24, 32}), sizes);
  for (const int size : {16, 20, 24, 32}) {
    HICON loaded = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(203), IMAGE_ICON, size, size, 0));
    EXPECT_NE(nullptr, loaded) << size;
    if (loaded != nullptr) DestroyIcon(loaded);
  }
}

}  // namespace
}  // namespace quorvel
