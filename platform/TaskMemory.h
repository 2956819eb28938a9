// The COM task allocator: CoTaskMemAlloc, CoTaskMemRealloc and CoTaskMemFree
// on Windows, the C heap elsewhere. Memory handed to or taken from callers of
// the COM contract comes from here. (A test program may link an allocator of
// its own in place of platform/TaskMemory.cpp: tests/support/FailingTaskMemory.)
#pragma once

#include <cstddef>

#include "platform/ResultTypes.h"

namespace quorvel {

void* TaskMemAlloc(size_t bytes) noexcept;
void* TaskMemRealloc(void* memory, size_t bytes) noexcept;  // on failure `memory` stays valid
void TaskMemFree(void* memory) noexcept;

// Owns one block of task-allocator memory, whether this system allocated it
// or a platform call handed it over (an identifier list, a display name).
// The surface is that of every owner (platform/ScopedComPtr.h).
template <typename T>
class CTaskMemory {
 public:
  CTaskMemory() noexcept = default;
  explicit CTaskMemory(T* memory) noexcept : m_memory(memory) {}
  CTaskMemory(const CTaskMemory&) = delete;
  CTaskMemory& operator=(const CTaskMemory&) = delete;
  CTaskMemory(CTaskMemory&& other) noexcept : m_memory(other.Detach()) {}
  CTaskMemory& operator=(CTaskMemory&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ~CTaskMemory() { Reset(); }

  T* Get() const noexcept { return m_memory; }
  explicit operator bool() const noexcept { return m_memory != nullptr; }

  void Reset(T* memory = nullptr) noexcept {
    if (memory == m_memory) return;
    T* old = m_memory;
    m_memory = memory;
    if (old != nullptr) TaskMemFree(old);
  }

  // Gives the memory up to the caller without freeing it.
  T* Detach() noexcept {
    T* memory = m_memory;
    m_memory = nullptr;
    return memory;
  }

  // The slot for a call's out-parameter; anything held is freed first.
  T** Receive() noexcept {
    Reset();
    return &m_memory;
  }

  // A failed call hands over no memory: the owner stays empty.
  HRESULT Received(HRESULT result) noexcept {
    if (FAILED(result)) m_memory = nullptr;
    return result;
  }

 private:
  T* m_memory = nullptr;
};

}  // namespace quorvel
