#include "tests/support/FailingTaskMemory.h"

#include <atomic>
#include <cstdlib>

#include "platform/TaskMemory.h"

namespace quorvel {

namespace {

std::atomic<int> g_requestsUntilFailure{0};
std::atomic<size_t> g_lastRequestedBytes{0};

// Counts one request; true when it is the one chosen to fail.
bool RequestFails(size_t bytes) noexcept {
  g_lastRequestedBytes.store(bytes, std::memory_order_relaxed);
  int remaining = g_requestsUntilFailure.load(std::memory_order_relaxed);
  while (remaining > 0) {
    if (g_requestsUntilFailure.compare_exchange_weak(remaining, remaining - 1, std::memory_order_relaxed)) {
      return remaining == 1;
    }
  }
  return false;
}

}  // namespace

// The C heap behind the failures: a program that links this hands none of
// its task memory to the platform.
void* TaskMemAlloc(size_t bytes) noexcept {
  return RequestFails(bytes) ? nullptr : std::malloc(bytes != 0 ? bytes : 1);
}

void* TaskMemRealloc(void* memory, size_t bytes) noexcept {
  return RequestFails(bytes) ? nullptr : std::realloc(memory, bytes != 0 ? bytes : 1);
}

void TaskMemFree(void* memory) noexcept { std::free(memory); }

namespace task_memory_testing {

void FailNthRequest(int n) noexcept { g_requestsUntilFailure.store(n > 0 ? n : 0, std::memory_order_relaxed); }

size_t LastRequestedBytes() noexcept { return g_lastRequestedBytes.load(std::memory_order_relaxed); }

}  // namespace task_memory_testing

}  // namespace quorvel
