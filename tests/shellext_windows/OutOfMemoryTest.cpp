// Memory running out inside the handler's operations: each allocation made
// through operator new is made to fail in turn. No exception may leave an
// operation, its result is S_OK or E_OUTOFMEMORY, and the data object's
// medium always comes back unlocked and released.
#include <gtest/gtest.h>

#include "tests/shellext_windows/HandlerTestSupport.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/FailingAllocations.h"

namespace quorvel {
namespace {

constexpr int kMostAllocations = 200;

TEST(HandlerOutOfMemory, InitializeFailsCleanly) {
  int failures = 0;
  for (int count = 0; count < kMostAllocations; ++count) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc", L"C:\\d\\d.doc", L"C:\\d\\e.doc"});
    HRESULT result = E_FAIL;
    const bool failed = RefusesAnAllocation(count, [&] { result = handler->Initialize(nullptr, &data, nullptr); });
    EXPECT_EQ(0, data.OutstandingMedia()) << count;
    EXPECT_EQ(0, data.MediaReleasedWhileLocked()) << count;
    if (!failed) {
      EXPECT_EQ(S_OK, result);
      EXPECT_EQ(L"Select All .doc Files", MenuTextOf(handler.Get()));
      break;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    ++failures;
  }
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

TEST(HandlerOutOfMemory, QueryContextMenuFailsCleanly) {
  int failures = 0;
  for (int count = 0; count < kMostAllocations; ++count) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc"});
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, &data, nullptr));
    CScopedComPtr<IContextMenu> contextMenu = ContextMenuOf(handler.Get());
    CScopedMenu menu(CreatePopupMenu());
    HRESULT result = E_FAIL;
    const bool failed =
        RefusesAnAllocation(count, [&] { result = contextMenu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL); });
    if (!failed) {
      EXPECT_EQ(1, result);
      EXPECT_EQ(1, GetMenuItemCount(menu.Get()));
      break;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    EXPECT_EQ(0, GetMenuItemCount(menu.Get())) << count;
    ++failures;
  }
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

}  // namespace
}  // namespace quorvel
