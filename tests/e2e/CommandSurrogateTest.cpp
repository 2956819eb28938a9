// The Explorer command out of process, as Windows 11 runs it: created through
// its class in the COM surrogate (dllhost.exe), with the folder window, its
// site and the clicked items in this process, so that every call between them
// crosses processes. It answers as in process and lets the site and the
// items go; the library lets the surrogate unload it once the last object is
// released.
//
// What Wine 8 cannot show: an ID list of more than one level (the view's
// folder, IPersistFolder2::GetCurFolder) arrives garbled in the other process,
// so the command there cannot tell which folder the view shows and the
// selection it makes is not checked here (in process it is: CommandRouteTest).
// Wine's dllhost.exe does not exit by itself either: the test ends the one it
// started.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WinePath.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderWindow.h"
#include "tools/SurrogateRegistration.h"


namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;
using Services = CFolderViewSite::Services;

// {F06FB54A-A1ED-4613-9C05-63353D9D46F5}: this program links none of the
// command's code.
constexpr CLSID kCommandClass = {0xF06FB54A, 0xA1ED, 0x4613, {0x9C, 0x05, 0x63, 0x35, 0x3D, 0x9D, 0x46, 0xF5}};

StringList Named(CFolderWindow& window, bool CFolderWindow::ItemState::*bit) {
  std::vector<CFolderWindow::ItemState> states;
  EXPECT_EQ(S_OK, window.ReadItemStates(&states)) << CTempFolder::Narrow(window.GetError());
  StringList names;
  for (const CFolderWindow::ItemState& state : states) {
    if (state.*bit) names.push_back(state.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class CommandSurrogate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    std::wstring error;
    ASSERT_EQ(S_OK, m_registration.Register(WinePath(QUORVEL_DLL), WinePath(QUORVEL_PROXY_DLL), &error))
        << CTempFolder::Narrow(error);
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"page.html", L"x.htm", L"Makefile"}) {
      m_folder.AddFile(name);
    }
    m_folder.AddFolder(L"old.txt");
    ASSERT_EQ(S_OK, m_window.Open(m_folder.Path(), 640, 400)) << CTempFolder::Narrow(m_window.GetError());
  }
  void TearDown() override {
    m_registration.Remove();
    if (m_oleInitialised) OleUninitialize();
  }

  CSurrogateRegistration m_registration;
  CTempFolder m_folder;
  CFolderWindow m_window;
  bool m_oleInitialised = false;
};

TEST_F(CommandSurrogate, AnswersAsInProcessAndLetsTheSiteAndTheItemsGo) {
  const std::set<DWORD> before = RunningSurrogates();
  CScopedComPtr<IExplorerCommand> command;
  ASSERT_EQ(S_OK, CoCreateInstance(kCommandClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IExplorerCommand,
                                   command.ReceiveVoid()));
  CStartedSurrogate surrogate;
  ASSERT_TRUE(surrogate.Find(before)) << "one surrogate serves the command";

  struct Case {
    const char* what;
    StringList clicked;
    Services services;
    EXPCMDSTATE state;
    const wchar_t* title;
  };
  const Case cases[] = {
      {"through the view service", {L"a.txt", L"b.TXT", L"old.txt"}, Services::kViewAndBrowser, ECS_ENABLED,
       L"Select All .txt Files"},
      {"through the top-level browser", {L"b.TXT", L"c.doc", L"x.htm", L"page.html"}, Services::kBrowserOnly,
       ECS_ENABLED, L"Select All .htm Files"},
      {"a site whose services fail", {L"c.doc"}, Services::kNone, ECS_ENABLED, L"Select All .doc Files"},
      {"no extension", {L"Makefile"}, Services::kViewAndBrowser, ECS_HIDDEN, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CScopedComPtr<IShellItemArray> items;
    std::wstring error;
    ASSERT_EQ(S_OK, CreateItemArray(m_window, c.clicked, items.Receive(), &error)) << CTempFolder::Narrow(error);
    const ULONG itemReferences = References(items.Get());
    CScopedComPtr<CFolderViewSite> site;
    site.Reset(new CFolderViewSite(m_window.GetBrowser(), c.services));
    ExplorerCommandOptions options;
    options.site = site.Get();
    ExplorerCommandReport report;
    ASSERT_EQ(S_OK, DriveExplorerCommand(command.Get(), m_window, items.Get(), options, &report, &error))
        << CTempFolder::Narrow(error);
    EXPECT_EQ(c.state, report.state);
    if (c.title != nullptr) {
      EXPECT_EQ(c.title, report.title);
      EXPECT_EQ(L"Click to select all files with this extension in the current folder", report.toolTip);
      EXPECT_EQ(WinePath(QUORVEL_DLL) + L",-203", report.icon);
      EXPECT_EQ(static_cast<EXPCMDFLAGS>(ECF_DEFAULT), report.flags);
      EXPECT_EQ(S_OK, report.invoke);
    }
    EXPECT_EQ(1u, site->ReferenceCount()) << "the surrogate let the site go";
    EXPECT_EQ(itemReferences, References(items.Get())) << "the surrogate let the items go";
  }
}

// The library answers DllCanUnloadNow with S_FALSE while a command or its
// class object is held and S_OK once the last is released: what lets the
// surrogate (and any host) unload it.
TEST(CommandLibrary, CanUnloadOnceTheLastCommandIsReleased) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    const HMODULE library = LoadLibraryW(WinePath(QUORVEL_DLL).c_str());
    ASSERT_NE(nullptr, library);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(library, "DllGetClassObject"));
    const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(GetProcAddress(library, "DllCanUnloadNow"));
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
