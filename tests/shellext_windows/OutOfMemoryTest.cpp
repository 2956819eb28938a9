// Memory running out inside each of the handler's four operations: each
// allocation made through operator new (the wide string's included) is made
// to fail in turn. No exception may leave an operation, its result is
// E_OUTOFMEMORY, the data object's medium always comes back unlocked and
// released, and the same handler works afterwards.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

#include "tests/shellext_windows/HandlerTestSupport.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindows.h"

namespace quorvel {
namespace {

constexpr int kMostAllocations = 200;

TEST(HandlerOutOfMemory, InitializeFailsCleanly) {
  const int failures = WalkAllocationFailures(kMostAllocations, [](int count, bool* refused) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc", L"C:\\d\\d.doc", L"C:\\d\\e.doc"});
    HRESULT result = E_FAIL;
    *refused = RefusesAnAllocation(count, [&] { result = handler->Initialize(nullptr, &data, nullptr); });
    EXPECT_EQ(0, data.OutstandingMedia()) << count;
    EXPECT_EQ(0, data.MediaReleasedWhileLocked()) << count;
    if (!*refused) {
      EXPECT_EQ(S_OK, result);
      EXPECT_EQ(L"Select All .doc Files", MenuTextOf(handler.Get()));
      return;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    // The same handler takes the selection once memory is back.
    EXPECT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr)) << count;
    EXPECT_EQ(L"Select All .doc Files", MenuTextOf(handler.Get())) << count;
  });
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

TEST(HandlerOutOfMemory, QueryContextMenuFailsCleanly) {
  const int failures = WalkAllocationFailures(kMostAllocations, [](int count, bool* refused) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc"});
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
    CScopedComPtr<IContextMenu> contextMenu = ContextMenuOf(handler.Get());
    CScopedMenu menu(CreatePopupMenu());
    HRESULT result = E_FAIL;
    *refused =
        RefusesAnAllocation(count, [&] { result = contextMenu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL); });
    if (!*refused) {
      EXPECT_EQ(1, result);
      EXPECT_EQ(1, GetMenuItemCount(menu.Get()));
      return;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    EXPECT_EQ(0, GetMenuItemCount(menu.Get())) << count;
    EXPECT_EQ(L"Select All .txt Files", MenuTextOf(handler.Get())) << count;
  });
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

TEST(HandlerOutOfMemory, GetCommandStringFailsCleanly) {
  constexpr wchar_t kHelp[] = L"Click to select all files with this extension in the current folder";
  int failures = 0;
  for (const UINT type : {GCS_HELPTEXTA, GCS_HELPTEXTW}) {
    failures += WalkAllocationFailures(kMostAllocations, [&](int count, bool* refused) {
      CScopedComPtr<IShellExtInit> handler = NewHandler();
      CScopedComPtr<IContextMenu> contextMenu = ContextMenuOf(handler.Get());
      wchar_t buffer[128];
      HRESULT result = E_FAIL;
      *refused = RefusesAnAllocation(count, [&] {
        result = contextMenu->GetCommandString(0, type, nullptr, reinterpret_cast<CHAR*>(buffer), 128);
      });
      if (!*refused) {
        EXPECT_EQ(S_OK, result) << type;
        return;
      }
      EXPECT_EQ(E_OUTOFMEMORY, result) << type << ", " << count;
      wchar_t again[128] = {};
      EXPECT_EQ(S_OK, contextMenu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(again), 128));
      EXPECT_STREQ(kHelp, again) << type << ", " << count;
    });
  }
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

// A folder window made of windows of registered classes over a real folder:
// the frame holds a "SHELLDLL_DefView" with a real list control whose items
// carry the identifier lists of the folder's entries. c.doc starts selected.
class HandlerOutOfMemoryInFolderWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"d.txt"}) m_folder.AddFile(name);
    m_frame.Reset(CreateTestWindow(L"QuorvelTestFrame"));
    m_view.Reset(CreateTestWindow(L"SHELLDLL_DefView", m_frame.Get()));
    m_list = std::make_unique<CIdListListView>(m_view.Get());
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"d.txt"}) m_list->AddPath(m_folder.PathOf(name));
  }
  void TearDown() override {
    m_list.reset();
    m_view.Reset();
    m_frame.Reset();
  }

  std::vector<std::wstring> Selected() const { return m_list->ItemsWith(LVIS_SELECTED); }

  CTempFolder m_folder;
  CTestWindowClass m_frameClass{L"QuorvelTestFrame"};
  CTestWindowClass m_viewClass{L"SHELLDLL_DefView"};
  CScopedWindow m_frame;
  CScopedWindow m_view;
  std::unique_ptr<CIdListListView> m_list;
};

TEST_F(HandlerOutOfMemoryInFolderWindow, InvokeCommandFailsCleanly) {
  const std::vector<std::wstring> matching = {m_folder.PathOf(L"a.txt"), m_folder.PathOf(L"b.TXT"),
                                              m_folder.PathOf(L"d.txt")};
  const int failures = WalkAllocationFailures(kMostAllocations, [&](int count, bool* refused) {
    m_list->SetState(0, 0);
    m_list->SetState(1, 0);
    m_list->SetState(3, 0);
    m_list->SetState(2, LVIS_SELECTED | LVIS_FOCUSED);
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({m_folder.PathOf(L"a.txt"), m_folder.PathOf(L"c.doc"), m_folder.PathOf(L"d.txt")});
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
    ASSERT_EQ(L"Select All .txt Files", MenuTextOf(handler.Get()));
    HRESULT result = E_FAIL;
    *refused = RefusesAnAllocation(count, [&] { result = InvokeItem(handler.Get(), m_frame.Get()); });
    if (!*refused) {
      EXPECT_EQ(S_OK, result);
      EXPECT_EQ(matching, Selected());
      return;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    // Chosen again with memory back, the same handler does the whole command.
    EXPECT_EQ(S_OK, InvokeItem(handler.Get(), m_frame.Get())) << count;
    EXPECT_EQ(matching, Selected()) << count;
  });
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

}  // namespace
}  // namespace quorvel
