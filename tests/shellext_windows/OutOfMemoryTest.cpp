// Memory running out inside the handler's operations: each allocation made
// through operator new is made to fail in turn. No exception may leave an
// operation, its result is S_OK or E_OUTOFMEMORY, and the data object's
// medium always comes back unlocked and released.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "tests/shellext_windows/HandlerTestSupport.h"
#include "tests/support/DropFilesDataObject.h"

namespace {

// Allocations left before they fail; negative: none fails.
int g_allocationsBeforeFailure = -1;
bool g_allocationFailed = false;

void* Allocate(std::size_t size) {
  if (g_allocationsBeforeFailure == 0) {
    g_allocationFailed = true;
    throw std::bad_alloc();
  }
  if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

// Makes every allocation after the next `count` ones fail, for one scope.
class CFailingAllocations {
 public:
  explicit CFailingAllocations(int count) noexcept {
    g_allocationFailed = false;
    g_allocationsBeforeFailure = count;
  }
  ~CFailingAllocations() { g_allocationsBeforeFailure = -1; }
  static bool Failed() noexcept { return g_allocationFailed; }
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace quorvel {
namespace {

constexpr int kMostAllocations = 200;

TEST(HandlerOutOfMemory, InitializeFailsCleanly) {
  int failures = 0;
  for (int count = 0; count < kMostAllocations; ++count) {
    CScopedComPtr<IShellExtInit> handler = NewHandler();
    CDropFilesDataObject data({L"C:\\d\\a.txt", L"C:\\d\\b.txt", L"C:\\d\\c.doc", L"C:\\d\\d.doc", L"C:\\d\\e.doc"});
    HRESULT result;
    bool failed;
    {
      CFailingAllocations failing(count);
      result = handler->Initialize(nullptr, &data, nullptr);
      failed = CFailingAllocations::Failed();
    }
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
    HRESULT result;
    bool failed;
    {
      CFailingAllocations failing(count);
      result = contextMenu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL);
      failed = CFailingAllocations::Failed();
    }
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
