// The COM task allocator: CoTaskMemAlloc, CoTaskMemRealloc and CoTaskMemFree
// on Windows, the C heap elsewhere. Memory handed to or taken from callers of
// the COM contract comes from here.
#pragma once

#include <cassert>
#include <cstddef>

namespace quorvel {

void* TaskMemAlloc(size_t bytes) noexcept;
void* TaskMemRealloc(void* memory, size_t bytes) noexcept;  // on failure `memory` stays valid
void TaskMemFree(void* memory) noexcept;

// Owns one block of task-allocator memory.
template <typename T>
class CTaskMemory {
 public:
  CTaskMemory() noexcept = default;
  explicit CTaskMemory(T* memory) noexcept : m_memory(memory) {}
  ~CTaskMemory() { TaskMemFree(m_memory); }
  CTaskMemory(const CTaskMemory&) = delete;
  CTaskMemory& operator=(const CTaskMemory&) = delete;

  T* Get() const noexcept { return m_memory; }

  void Reset(T* memory = nullptr) noexcept {
    if (memory == m_memory) return;
    TaskMemFree(m_memory);
    m_memory = memory;
  }

  T* Release() noexcept {
    T* memory = m_memory;
    m_memory = nullptr;
    return memory;
  }

  // The slot for an out-parameter; the owner must hold nothing.
  T** Receive() noexcept {
    assert(m_memory == nullptr);
    Reset();
    return &m_memory;
  }

 private:
  T* m_memory = nullptr;
};

// For tests of the paths taken when memory runs out.
namespace task_memory_testing {

// Makes the `n`-th allocation or reallocation from now fail (1: the next one);
// 0 makes none fail.
void FailNthRequest(int n) noexcept;

// Bytes asked for by the latest allocation or reallocation, failed or not.
size_t LastRequestedBytes() noexcept;

}  // namespace task_memory_testing

}  // namespace quorvel
