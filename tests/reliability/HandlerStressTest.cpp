// The handler of the built quorvel.dll, made and used the way the shell does
// 10,000 times in one process: no GDI or USER object, handle or memory may be
// left behind. The library is loaded as the shell loads it; the data object
// is the shell's own, for entries of a real folder shown in the platform's
// folder view.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Quorvel.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ServerLibrary.h"
#include "tests/support/WinePath.h"
#include "tests/reliability/ProcessResources.h"
#include "tests/support/TempFolder.h"
#include "tools/FolderWindow.h"

namespace quorvel {
namespace {

constexpr int kWarmUpCycles = 200;
constexpr int kCycles = 10000;

// What may change over the measured cycles without counting as a leak: a
// leak of one object, one handle or eight bytes a cycle would show 10,000
// times over. Committed memory moves in whole pages and heap segments.
constexpr int64_t kObjectTolerance = 10;
constexpr int64_t kHeapTolerance = 64 * 1024;
constexpr int64_t kCommittedTolerance = 1024 * 1024;

void Print(const char* label, const ProcessResources& r) {
  std::printf("%-22s GDI %5lld  USER %5lld  handles %5lld  committed %10lld B  heap %10lld B\n", label,
              static_cast<long long>(r.gdiObjects), static_cast<long long>(r.userObjects),
              static_cast<long long>(r.handles), static_cast<long long>(r.committedBytes),
              static_cast<long long>(r.heapBytes));
}

class HandlerStress : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(m_library.Load(WinePath(kBuiltDll))) << "cannot load quorvel.dll: " << GetLastError();
    ASSERT_EQ(S_OK, m_library.GetClassObject(CLSID_SelecterMenu, IID_IClassFactory, m_factory.ReceiveVoid()));

    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.doc", L"d.TXT"}) m_folder.AddFile(name);
    ASSERT_EQ(S_OK, m_window.Open(m_folder.Path(), 640, 480)) << CTempFolder::Narrow(m_window.GetError());
    ASSERT_EQ(S_OK, m_window.CreateDataObject({L"a.txt", L"c.doc", L"b.txt"}, m_dataObject.Receive()))
        << CTempFolder::Narrow(m_window.GetError());
  }

  void TearDown() override {
    m_dataObject.Reset();
    m_factory.Reset();
    if (m_library.CanUnloadNow != nullptr) {
      EXPECT_EQ(S_OK, m_library.CanUnloadNow()) << "a handler or a lock is still alive";
    }
    m_library.Unload();
    OleUninitialize();
  }

  // One right-click: a new handler is given the selection, adds its item to
  // a new popup menu, answers both help texts, carries out its command in
  // the folder window, and is released.
  void RightClick() {
    CScopedComPtr<IShellExtInit> handler;
    ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IShellExtInit, handler.ReceiveVoid()));
    ASSERT_EQ(S_OK, handler->Initialize(m_window.GetFolderIdList(), m_dataObject.Get(), nullptr));
    CScopedComPtr<IContextMenu> contextMenu;
    ASSERT_EQ(S_OK, handler->QueryInterface(IID_IContextMenu, contextMenu.ReceiveVoid()));
    CScopedMenu menu(CreatePopupMenu());
    ASSERT_TRUE(menu.IsValid());
    ASSERT_EQ(1, contextMenu->QueryContextMenu(menu.Get(), 0, 1, 0x7FFF, CMF_NORMAL));
    ASSERT_EQ(1, GetMenuItemCount(menu.Get()));
    wchar_t helpW[128];
    ASSERT_EQ(S_OK, contextMenu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(helpW), 128));
    char helpA[128];
    ASSERT_EQ(S_OK, contextMenu->GetCommandString(0, GCS_HELPTEXTA, nullptr, helpA, 128));
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.hwnd = m_window.GetFrame();
    invoke.lpVerb = MAKEINTRESOURCEA(0);
    invoke.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, contextMenu->InvokeCommand(&invoke));
  }

  void RightClickTimes(int count) {
    for (int i = 0; i < count && !HasFatalFailure(); ++i) {
      RightClick();
      // The view's notifications of the changed selection wait in the queue.
      if (i % 100 == 99) CFolderWindow::PumpMessages(0);
    }
    // The view repaints what changed before the figures are read.
    CFolderWindow::PumpMessages(200);
  }

  CServerLibrary m_library;
  CScopedComPtr<IClassFactory> m_factory;
  CTempFolder m_folder;
  CFolderWindow m_window;
  CScopedComPtr<IDataObject> m_dataObject;
};

// Some objects a thread holds while it has any window (under Wine, its input
// method window): one window of the test's own keeps them there before any
// figure is read, so that each window made later counts as one.
class CFirstObjects {
 public:
  CFirstObjects()
      : m_window(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {
    EXPECT_TRUE(m_window.IsValid()) << "cannot create a window (is there a display?)";
    DestroyMenu(CreatePopupMenu());
    DeleteObject(CreateSolidBrush(RGB(1, 2, 3)));
  }

 private:
  CScopedWindow m_window;
};

// The figures follow what this process takes and gives back, down to a
// single object, so that a run without growth means something.
TEST(ProcessResourceFigures, MoveWithEachObjectThisProcessHolds) {
  std::printf("figures: %s\n", CProcessResources::Sources().c_str());
  const CFirstObjects firstObjects;
  for (const int count : {1, 50}) {
    const ProcessResources before = CProcessResources::Read();
    std::vector<HBRUSH> brushes;
    std::vector<HMENU> menus;
    std::vector<HWND> windows;
    std::vector<HANDLE> events;
    std::vector<void*> blocks;
    for (int i = 0; i < count; ++i) {
      brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
      menus.push_back(CreatePopupMenu());
      windows.push_back(
          CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
      events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
      blocks.push_back(HeapAlloc(GetProcessHeap(), 0, 1000));
      ASSERT_TRUE(brushes.back() && menus.back() && windows.back() && events.back() && blocks.back());
    }
    constexpr SIZE_T kPageBytes = 4 << 20;
    void* pages = VirtualAlloc(nullptr, kPageBytes, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(nullptr, pages);
    std::memset(pages, 1, kPageBytes);  // Wine counts pages once they are used
    const ProcessResources holding = CProcessResources::Read();
    for (HBRUSH brush : brushes) DeleteObject(brush);
    for (HMENU menu : menus) DestroyMenu(menu);
    for (HWND window : windows) DestroyWindow(window);
    for (HANDLE event : events) CloseHandle(event);
    for (void* block : blocks) HeapFree(GetProcessHeap(), 0, block);
    VirtualFree(pages, 0, MEM_RELEASE);
    const ProcessResources after = CProcessResources::Read();
    std::printf("holding %d of each:\n", count);
    Print("before", before);
    Print("holding", holding);
    Print("given back", after);

    EXPECT_EQ(before.gdiObjects + count, holding.gdiObjects) << count;
    EXPECT_EQ(before.userObjects + 2 * count, holding.userObjects) << count << " windows and as many menus";
    EXPECT_EQ(before.handles + count, holding.handles) << count;
    EXPECT_GE(holding.heapBytes - before.heapBytes, count * 1000) << count;
    EXPECT_GE(holding.committedBytes - before.committedBytes, static_cast<int64_t>(kPageBytes)) << count;
    EXPECT_EQ(before.gdiObjects, after.gdiObjects) << count;
    EXPECT_EQ(before.userObjects, after.userObjects) << count;
    EXPECT_EQ(before.handles, after.handles) << count;
  }
}

// What another process makes meanwhile (ctest runs tests side by side on
// one Wine server) leaves every figure of this one as it was.
TEST(ProcessResourceFigures, StayWhileAnotherProcessMakesObjects) {
  const CFirstObjects firstObjects;
  const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
  const std::wstring names[] = {L"QuorvelHolderGo" + suffix, L"QuorvelHolderReady" + suffix,
                                L"QuorvelHolderRelease" + suffix};
  CScopedFileHandle go(CreateEventW(nullptr, TRUE, FALSE, names[0].c_str()));
  CScopedFileHandle ready(CreateEventW(nullptr, TRUE, FALSE, names[1].c_str()));
  CScopedFileHandle release(CreateEventW(nullptr, TRUE, FALSE, names[2].c_str()));
  ASSERT_TRUE(go.IsValid() && ready.IsValid() && release.IsValid());

  constexpr int kCount = 50;
  std::wstring commandLine = L"\"" + WinePath(kResourceHolderExe) + L"\" " + std::to_wstring(kCount) + L" " +
                             names[0] + L" " + names[1] + L" " + names[2];
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process))
      << "cannot start resource-holder.exe: " << GetLastError();
  CScopedFileHandle processHandle(process.hProcess);
  CScopedFileHandle threadHandle(process.hThread);

  const ProcessResources before = CProcessResources::Read();
  SetEvent(go.Get());
  const HANDLE waits[] = {ready.Get(), process.hProcess};
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, 60000)) << "resource-holder.exe made nothing";
  const ProcessResources during = CProcessResources::Read();
  SetEvent(release.Get());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
  DWORD exitCode = ~0u;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(0u, exitCode) << "resource-holder.exe could not make every object";

  std::printf("while another process holds %d windows, menus, brushes and events:\n", kCount);
  Print("before", before);
  Print("during", during);
  EXPECT_EQ(before.gdiObjects, during.gdiObjects);
  EXPECT_EQ(before.userObjects, during.userObjects);
  EXPECT_EQ(before.handles, during.handles);
}

TEST_F(HandlerStress, TenThousandRightClicksLeaveNothingBehind) {
  RightClickTimes(kWarmUpCycles);
  ASSERT_FALSE(HasFatalFailure());
  const ProcessResources before = CProcessResources::Read();
  const DWORD start = GetTickCount();
  RightClickTimes(kCycles);
  const DWORD elapsed = GetTickCount() - start;
  ASSERT_FALSE(HasFatalFailure());
  const ProcessResources after = CProcessResources::Read();

  std::printf("%d right-clicks after %d to warm up, in %lu ms; %s\n", kCycles, kWarmUpCycles,
              static_cast<unsigned long>(elapsed), CProcessResources::Sources().c_str());
  Print("before", before);
  Print("after", after);
  std::printf("%-22s GDI %+5lld  USER %+5lld  handles %+5lld  committed %+10lld B  heap %+10lld B\n", "growth",
              static_cast<long long>(after.gdiObjects - before.gdiObjects),
              static_cast<long long>(after.userObjects - before.userObjects),
              static_cast<long long>(after.handles - before.handles),
              static_cast<long long>(after.committedBytes - before.committedBytes),
              static_cast<long long>(after.heapBytes - before.heapBytes));

  EXPECT_LE(after.gdiObjects - before.gdiObjects, kObjectTolerance);
  EXPECT_LE(after.userObjects - before.userObjects, kObjectTolerance);
  EXPECT_LE(after.handles - before.handles, kObjectTolerance);
  EXPECT_LE(after.heapBytes - before.heapBytes, kHeapTolerance);
  EXPECT_LE(after.committedBytes - before.committedBytes, kCommittedTolerance);
}

}  // namespace
}  // namespace quorvel
