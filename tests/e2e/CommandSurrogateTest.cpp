// The Explorer command out of process, as Windows 11 runs it: created through
// its class in the COM surrogate (dllhost.exe), with the folder window, its
// site and the clicked items in this process, so that every call between them
// crosses processes. On the same view and the same clicked files it answers,
// selects and focuses exactly as the command in process does, and lets the
// site and the items go; on a view that offers the batched calls, the calls
// that cross do not grow with the folder. The library lets the surrogate
// unload it once the last object is released.
//
// The test prefix carries ID lists between processes whole, as Windows does,
// with proxies of its own (tools/SurrogateRegistration). Wine's dllhost.exe
// does not exit by itself: the test ends the one it started.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "shellext/SelecterCommand.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/FolderWindowTesting.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WinePath.h"
#include "tools/BatchingFolderView.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderWindow.h"
#include "tools/ItemArrayWithDataObject.h"
#include "tools/SurrogateRegistration.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;
using Services = CFolderViewSite::Services;

// {F06FB54A-A1ED-4613-9C05-63353D9D46F5}, written out: the surrogate must be
// asked for the registered class, not for this program's copy of it.
constexpr CLSID kCommandClass = {0xF06FB54A, 0xA1ED, 0x4613, {0x9C, 0x05, 0x63, 0x35, 0x3D, 0x9D, 0x46, 0xF5}};

CScopedComPtr<IExplorerCommand> InProcessCommand() {
  CScopedComPtr<IExplorerCommand> command;
  EXPECT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
  return command;
}

struct Outcome {
  ExplorerCommandReport report;
  StringList selected;
  StringList focused;
};

class CommandSurrogate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    std::wstring error;
    ASSERT_EQ(S_OK, m_registration.Register(WinePath(kBuiltDll), WinePath(kBuiltProxyDll), &error))
        << CTempFolder::Narrow(error);
    const std::set<DWORD> before = RunningSurrogates();
    ASSERT_EQ(S_OK, CoCreateInstance(kCommandClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IExplorerCommand,
                                     m_surrogateCommand.ReceiveVoid()));
    ASSERT_TRUE(m_surrogate.Find(before)) << "one surrogate serves the command";
  }
  void TearDown() override {
    m_surrogateCommand.Reset();
    m_surrogate.End(0);
    m_registration.Remove();
    if (m_oleInitialised) OleUninitialize();
  }

  // The right-click with `command` on `window`, its selection set to c.doc
  // and the clicked entries beforehand (as the user's right-click leaves it).
  static Outcome RightClick(IExplorerCommand* command, CFolderWindow& window, const StringList& clicked,
                            const ExplorerCommandOptions& given) {
    CScopedComPtr<IShellItemArray> items;
    std::wstring error;
    EXPECT_EQ(S_OK, CreateItemArray(window, clicked, items.Receive(), &error)) << CTempFolder::Narrow(error);
    if (!items) return {};
    return RightClick(command, window, clicked, items.Get(), given);
  }
  static Outcome RightClick(IExplorerCommand* command, CFolderWindow& window, const StringList& clicked,
                            IShellItemArray* items, const ExplorerCommandOptions& given) {
    Outcome outcome;
    EXPECT_EQ(S_OK, window.SelectEntries({L"c.doc"}, false)) << CTempFolder::Narrow(window.GetError());
    window.SelectEntries(clicked, true);  // the clicked entries may be gone
    std::wstring error;
    const ULONG itemReferences = References(items);
    CScopedComPtr<CFolderViewSite> site;
    site.Reset(new CFolderViewSite(window.GetBrowser(), given.services));
    ExplorerCommandOptions options = given;
    if (options.site == nullptr && options.siteBrowser == nullptr) options.site = site.Get();
    EXPECT_EQ(S_OK, DriveExplorerCommand(command, window, items, options, &outcome.report, &error))
        << CTempFolder::Narrow(error);
    EXPECT_EQ(1u, site->ReferenceCount()) << "the command let the site go";
    EXPECT_EQ(itemReferences, References(items)) << "the command let the items go";
    outcome.selected = Named(window, &CFolderWindow::ItemState::selected);
    outcome.focused = Named(window, &CFolderWindow::ItemState::focused);
    return outcome;
  }

  CSurrogateRegistration m_registration;
  CScopedComPtr<IExplorerCommand> m_surrogateCommand;
  CStartedSurrogate m_surrogate;
  bool m_oleInitialised = false;
};

// The command in the surrogate against the command in process, case by case,
// on the platform's own view, each answer and the selection and focus left.
TEST_F(CommandSurrogate, SelectsAndAnswersAsInProcess) {
  CTempFolder folder;
  // notes.txt_old and page.html are listed for *.txt and *.htm by their
  // short-name aliases only.
  for (const wchar_t* name :
       {L"a.txt", L"b.TXT", L"c.doc", L"page.html", L"x.htm", L"notes.txt_old", L"Makefile", L"gone.pdf"}) {
    folder.AddFile(name);
  }
  folder.AddFolder(L"old.txt");
  CFolderWindow window;
  ASSERT_EQ(S_OK, window.Open(folder.Path(), 640, 400)) << CTempFolder::Narrow(window.GetError());

  struct Case {
    const char* what;
    StringList clicked;
    Services services;
    EXPCMDSTATE state;
    StringList selected;  // sorted
  };
  const Case cases[] = {
      {"letter case and a folder, through the view service", {L"a.txt", L"old.txt"}, Services::kViewAndBrowser,
       ECS_ENABLED, {L"a.txt", L"b.TXT", L"old.txt"}},
      {"through the top-level browser", {L"b.TXT", L"c.doc", L"a.txt"}, Services::kBrowserOnly, ECS_ENABLED,
       {L"a.txt", L"b.TXT", L"old.txt"}},
      {"an entry matched by its alias alone", {L"x.htm"}, Services::kViewAndBrowser, ECS_ENABLED, {L"x.htm"}},
      {"a site whose services fail", {L"a.txt"}, Services::kNone, ECS_ENABLED, {L"a.txt", L"c.doc"}},
      {"no extension", {L"Makefile"}, Services::kViewAndBrowser, ECS_HIDDEN, {L"Makefile", L"c.doc"}},
      // The last: the clicked file is deleted while the menu is open.
      {"no match", {L"gone.pdf"}, Services::kViewAndBrowser, ECS_ENABLED, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExplorerCommandOptions options;
    options.services = c.services;
    // Wine's array, read item by item, and one that hands out its data
    // object as Windows' does, read through its drop list.
    CScopedComPtr<IShellItemArray> items;
    CScopedComPtr<CItemArrayWithDataObject> withDataObject;
    std::wstring error;
    ASSERT_EQ(S_OK, CreateItemArray(window, c.clicked, items.Receive(), &error)) << CTempFolder::Narrow(error);
    ASSERT_EQ(S_OK, CreateItemArrayWithDataObject(window, c.clicked, withDataObject.Receive(), &error))
        << CTempFolder::Narrow(error);
    if (std::string(c.what) == "no match") folder.Remove(L"gone.pdf");
    const Outcome inProcess = RightClick(InProcessCommand().Get(), window, c.clicked, items.Get(), options);
    EXPECT_EQ(c.selected, inProcess.selected);
    for (IShellItemArray* given : {items.Get(), static_cast<IShellItemArray*>(withDataObject.Get())}) {
      SCOPED_TRACE(given == items.Get() ? "Wine's array" : "an array with a data object");
      const Outcome surrogate = RightClick(m_surrogateCommand.Get(), window, c.clicked, given, options);
      EXPECT_EQ(inProcess.selected, surrogate.selected);
      EXPECT_EQ(inProcess.focused, surrogate.focused);
      EXPECT_EQ(c.state, surrogate.report.state);
      EXPECT_EQ(inProcess.report.state, surrogate.report.state);
      EXPECT_EQ(inProcess.report.title, surrogate.report.title);
      EXPECT_EQ(inProcess.report.viewRoute, surrogate.report.viewRoute);
      EXPECT_EQ(inProcess.report.invoke, surrogate.report.invoke);
      if (c.state == ECS_HIDDEN) continue;
      EXPECT_EQ(S_OK, surrogate.report.invoke);
      EXPECT_EQ(L"Click to select all files with this extension in the current folder", surrogate.report.toolTip);
      EXPECT_EQ(WinePath(kBuiltDll) + L",-203", surrogate.report.icon);
      EXPECT_EQ(static_cast<EXPCMDFLAGS>(ECF_DEFAULT), surrogate.report.flags);
    }
    // The drop list crossed: of the items, the first alone was asked for,
    // once per reading (GetState, then GetTitle and Invoke where shown).
    const int readings = c.state == ECS_HIDDEN ? 1 : 3;
    EXPECT_EQ(readings, withDataObject->Calls().at("GetItemAt"));
    EXPECT_EQ(readings, withDataObject->Calls().at("IDataObject::GetData"));
  }
}

// Reading the clicked items from the surrogate takes the same calls for one
// photo as for 250: the count, the first item and its path, the data object
// and its drop list, for GetState, GetTitle and Invoke each, and the selection is the
// one the command in process makes. 251 photos hide the command, found from
// the count alone.
TEST_F(CommandSurrogate, CallsReadingTheClickedItemsDoNotGrow) {
  CTempFolder folder;
  StringList photos;
  for (int i = 0; i < 251; ++i) {
    photos.push_back(L"IMG_" + std::to_wstring(1000 + i) + L".jpg");
    folder.AddFile(photos.back().c_str());
  }
  for (const wchar_t* name : {L"c.doc", L"IMG_1000.xmp"}) folder.AddFile(name);
  CFolderWindow window;
  ASSERT_EQ(S_OK, window.Open(folder.Path(), 640, 400)) << CTempFolder::Narrow(window.GetError());

  const struct {
    size_t clicked;
    EXPCMDSTATE state;
  } cases[] = {{1, ECS_ENABLED}, {250, ECS_ENABLED}, {251, ECS_HIDDEN}};
  std::map<std::string, long, std::less<>> callsForOne;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.clicked) + " clicked");
    const StringList clicked(photos.begin(), photos.begin() + static_cast<std::ptrdiff_t>(c.clicked));
    CScopedComPtr<CItemArrayWithDataObject> items;
    std::wstring error;
    ASSERT_EQ(S_OK, CreateItemArrayWithDataObject(window, clicked, items.Receive(), &error))
        << CTempFolder::Narrow(error);
    const Outcome surrogate = RightClick(m_surrogateCommand.Get(), window, clicked, items.Get(), {});
    EXPECT_EQ(c.state, surrogate.report.state);
    const auto calls = items->Calls();
    if (c.state == ECS_HIDDEN) {
      EXPECT_EQ(1, calls.at("GetCount"));
      EXPECT_EQ(1, items->TotalCalls()) << "only the count was asked for";
      continue;
    }
    EXPECT_EQ(L"Select All .jpg Files", surrogate.report.title);
    EXPECT_EQ(photos, surrogate.selected);
    const Outcome inProcess = RightClick(InProcessCommand().Get(), window, clicked, items.Get(), {});
    EXPECT_EQ(inProcess.selected, surrogate.selected);
    EXPECT_EQ(inProcess.focused, surrogate.focused);
    EXPECT_EQ(3, calls.at("GetItemAt")) << "the first item, for GetState, GetTitle and Invoke";
    EXPECT_EQ(3, calls.at("IDataObject::GetData")) << "GetState, GetTitle and Invoke";
    if (callsForOne.empty()) {
      callsForOne = calls;
    } else {
      EXPECT_EQ(callsForOne, calls) << "the calls reading the clicked items grew with their number";
    }
  }
}

// A site that leads to a view of another folder: from the surrogate too, that
// view is never touched.
TEST_F(CommandSurrogate, LeavesAViewOfAnotherFolderAlone) {
  ClickedAndOtherFolderWindows windows;
  ASSERT_NO_FATAL_FAILURE(windows.Open());
  CFolderWindow& clicked = windows.clicked;
  CFolderWindow& other = windows.other;
  ASSERT_EQ(S_OK, other.SelectEntries({L"y.doc"}, false));
  ExplorerCommandOptions options;
  options.siteBrowser = other.GetBrowser();
  const Outcome outcome = RightClick(m_surrogateCommand.Get(), clicked, {L"a.txt"}, options);
  EXPECT_EQ(S_OK, outcome.report.invoke);
  EXPECT_EQ(L"browser", outcome.report.viewRoute) << "both services were asked";
  EXPECT_EQ((StringList{L"a.txt", L"c.doc"}), outcome.selected);
  EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::selected));
  EXPECT_EQ(StringList{L"y.doc"}, Named(other, &CFolderWindow::ItemState::focused));
}

// A view that offers the batched calls, in this process over the platform's:
// the command in the surrogate makes the same selection as through the
// per-item calls, and the calls that cross to the view stay the same in
// number at 20 and at 200 entries.
TEST_F(CommandSurrogate, CrossingCallsDoNotGrowOnABatchingView) {
  long callsAtFirstSize = -1;
  for (const int entries : {20, 200}) {
    CTempFolder folder;
    for (int i = 0; i < entries; ++i) folder.AddFile((std::to_wstring(i) + (i % 2 == 0 ? L".txt" : L".doc")).c_str());
    folder.AddFile(L"c.doc");
    CFolderWindow window;
    ASSERT_EQ(S_OK, window.Open(folder.Path(), 640, 400)) << CTempFolder::Narrow(window.GetError());
    CScopedComPtr<IFolderView> platformView;
    ASSERT_EQ(S_OK, window.GetBrowser()->GetCurrentView(IID_IFolderView, platformView.ReceiveVoid()));

    const Outcome perItem = RightClick(m_surrogateCommand.Get(), window, {L"0.txt"}, {});
    EXPECT_EQ(static_cast<size_t>(entries / 2), perItem.selected.size()) << entries;

    CScopedComPtr<CBatchingFolderView> view;
    view.Reset(new CBatchingFolderView(platformView.Get()));
    CScopedComPtr<CFolderViewSite> site;
    site.Reset(new CFolderViewSite(window.GetBrowser(), Services::kViewAndBrowser));
    site->SetView(view.Get());
    ExplorerCommandOptions options;
    options.site = site.Get();
    const Outcome batched = RightClick(m_surrogateCommand.Get(), window, {L"0.txt"}, options);
    EXPECT_EQ(perItem.selected, batched.selected) << entries;
    EXPECT_EQ(perItem.focused, batched.focused) << entries;
    // Every one of these calls crosses to the test's process.
    ExpectCallsInOneBatch(*view.Get(), entries, &callsAtFirstSize);
  }
}

// The library answers DllCanUnloadNow with S_FALSE while a command or its
// class object is held and S_OK once the last is released: what lets the
// surrogate (and any host) unload it.
TEST(CommandLibrary, CanUnloadOnceTheLastCommandIsReleased) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    const HMODULE library = LoadLibraryW(WinePath(kBuiltDll).c_str());
    ASSERT_NE(nullptr, library);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, getClassObject);
    ASSERT_NE(nullptr, canUnloadNow);
    EXPECT_EQ(S_OK, canUnloadNow());
    {
      CScopedComPtr<IClassFactory> factory;
      ASSERT_EQ(S_OK, getClassObject(kCommandClass, IID_IClassFactory, factory.ReceiveVoid()));
      EXPECT_EQ(S_FALSE, canUnloadNow()) << "the class object is held";
      CScopedComPtr<IExplorerCommand> command;
      ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
      factory.Reset();
      EXPECT_EQ(S_FALSE, canUnloadNow()) << "a command is held";
      GUID name = {};
      EXPECT_EQ(S_OK, command->GetCanonicalName(&name));
    }
    EXPECT_EQ(S_OK, canUnloadNow());
    FreeLibrary(library);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace quorvel
