#include "tests/support/FailingAllocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Allocations left before they fail; negative: none fails.
int g_allocationsBeforeFailure = -1;
bool g_allocationFailed = false;
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t size) {
  if (g_allocationsBeforeFailure == 0) {
    g_allocationFailed = true;
    throw std::bad_alloc();
  }
  if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

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

CFailingAllocations::CFailingAllocations(int count) noexcept {
  g_allocationFailed = false;
  g_allocationsBeforeFailure = count;
}

CFailingAllocations::~CFailingAllocations() { g_allocationsBeforeFailure = -1; }

bool CFailingAllocations::Failed() noexcept { return g_allocationFailed; }

CAllocationCounter::CAllocationCounter() noexcept : m_start(g_allocations.load(std::memory_order_relaxed)) {}

long CAllocationCounter::Count() const noexcept { return g_allocations.load(std::memory_order_relaxed) - m_start; }

}  // namespace quorvel
