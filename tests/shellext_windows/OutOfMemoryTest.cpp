// Memory running out inside each of the handler's four operations: each
// allocation made through operator new (the wide string's included) is made
// to fail in turn. No exception may leave an operation, its result is
// E_OUTOFMEMORY, the data object's medium always comes back unlocked and
// released, and the same handler works afterwards.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/TaskMemory.h"
#include "shellext/SelecterCommand.h"
#include "tests/shellext_windows/HandlerTestSupport.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/ShellItemArray.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindows.h"
#include "tools/ItemArrayWithDataObject.h"

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

// The Explorer command's methods that allocate: each fails with
// E_OUTOFMEMORY, hands out nothing, and the same command answers in full once
// memory is back, whether it reads the items one by one or the drop list of
// their data object (whose media all come back released and unlocked).
TEST(CommandOutOfMemory, EachMethodFailsCleanly) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    CTempFolder folder;
    std::vector<std::wstring> clicked;
    for (const wchar_t* name : {L"a.txt", L"b.doc", L"c.doc"}) {
      folder.AddFile(name);
      clicked.push_back(folder.PathOf(name));
    }
    // Wine's array, read item by item, and one that hands out a data object
    // as Windows' does, read through its drop list.
    CScopedComPtr<IShellItemArray> wineItems;
    ASSERT_EQ(S_OK, CreateShellItemArray(clicked, wineItems.Receive()));
    CDropFilesDataObject data(clicked);
    CScopedComPtr<CItemArrayWithDataObject> withDataObject;
    withDataObject.Reset(new CItemArrayWithDataObject(wineItems.Get(), &data));

    using Call = HRESULT (*)(IExplorerCommand*, IShellItemArray*);
    const struct {
      const char* what;
      Call call;
    } methods[] = {
        {"GetTitle",
         [](IExplorerCommand* command, IShellItemArray* items) {
           CTaskMemory<wchar_t> title;
           const HRESULT result = command->GetTitle(items, title.Receive());
           if (SUCCEEDED(result) && wcscmp(title.Get(), L"Select All .doc Files") != 0) return E_FAIL;
           if (FAILED(result) && title) return E_FAIL;
           return result;
         }},
        {"GetIcon",
         [](IExplorerCommand* command, IShellItemArray* items) {
           CTaskMemory<wchar_t> icon;
           const HRESULT result = command->GetIcon(items, icon.Receive());
           if (FAILED(result) && icon) return E_FAIL;
           return result;
         }},
        {"GetState",
         [](IExplorerCommand* command, IShellItemArray* items) {
           EXPCMDSTATE state = ECS_HIDDEN;
           const HRESULT result = command->GetState(items, FALSE, &state);
           if (SUCCEEDED(result) && state != ECS_ENABLED) return E_FAIL;
           return result;
         }},
        {"Invoke", [](IExplorerCommand* command, IShellItemArray* items) { return command->Invoke(items, nullptr); }},
    };
    for (IShellItemArray* items : {wineItems.Get(), static_cast<IShellItemArray*>(withDataObject.Get())}) {
      const char* const array = items == wineItems.Get() ? "Wine's array" : "an array with a data object";
      for (const auto& method : methods) {
        int failures = 0;
        for (int count = 0; count < kMostAllocations; ++count) {
          CScopedComPtr<IExplorerCommand> command;
          ASSERT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
          HRESULT result = E_FAIL;
          const bool failed = RefusesAnAllocation(count, [&] { result = method.call(command.Get(), items); });
          if (!failed) {
            EXPECT_EQ(S_OK, result) << array << ", " << method.what;
            break;
          }
          EXPECT_EQ(E_OUTOFMEMORY, result) << array << ", " << method.what << ", " << count;
          EXPECT_EQ(S_OK, method.call(command.Get(), items)) << array << ", " << method.what << ", " << count;
          ++failures;
        }
        EXPECT_GT(failures, 0) << array << ", " << method.what << ": no allocation was made to fail";
      }
      EXPECT_EQ(0, data.OutstandingMedia()) << array;
      EXPECT_EQ(0, data.MediaReleasedWhileLocked()) << array;
    }
    // The drop list was read: of the items, the first alone, once per reading.
    EXPECT_GT(withDataObject->Calls().at("IDataObject::GetData"), 0);
    EXPECT_EQ(withDataObject->Calls().at("IDataObject::GetData"), withDataObject->Calls().at("GetItemAt"));
    withDataObject.Reset();
    EXPECT_EQ(1, data.References());
  }
  CoUninitialize();
}

}  // namespace
}  // namespace quorvel
