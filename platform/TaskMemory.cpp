#include "platform/TaskMemory.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32
#include "platform/WinApi.h"
#endif

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

void* TaskMemAlloc(size_t bytes) noexcept {
  if (RequestFails(bytes)) return nullptr;
#ifdef _WIN32
  return CoTaskMemAlloc(bytes);
#else
  return std::malloc(bytes != 0 ? bytes : 1);
#endif
}

void* TaskMemRealloc(void* memory, size_t bytes) noexcept {
  if (RequestFails(bytes)) return nullptr;
#ifdef _WIN32
  return CoTaskMemRealloc(memory, bytes);
#else
  return std::realloc(memory, bytes != 0 ? bytes : 1);
#endif
}

void TaskMemFree(void* memory) noexcept {
#ifdef _WIN32
  CoTaskMemFree(memory);
#else
  std::free(memory);
#endif
}

namespace task_memory_testing {

void FailNthRequest(int n) noexcept { g_requestsUntilFailure.store(n > 0 ? n : 0, std::memory_order_relaxed); }

size_t LastRequestedBytes() noexcept { return g_lastRequestedBytes.load(std::memory_order_relaxed); }

}  // namespace task_memory_testing

}  // namespace quorvel
