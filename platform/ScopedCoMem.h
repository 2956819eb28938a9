// CScopedCoMem<T>: memory of the COM task allocator (CoTaskMemAlloc), such as
// a shell identifier list; freed with CoTaskMemFree.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

template <class T>
class CScopedCoMem {
 public:
  CScopedCoMem() noexcept = default;
  explicit CScopedCoMem(T* memory) noexcept : m_memory(memory) {}
  CScopedCoMem(const CScopedCoMem&) = delete;
  CScopedCoMem& operator=(const CScopedCoMem&) = delete;
  CScopedCoMem(CScopedCoMem&& other) noexcept : m_memory(other.Release()) {}
  CScopedCoMem& operator=(CScopedCoMem&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~CScopedCoMem() { Reset(); }

  T* Get() const noexcept { return m_memory; }
  explicit operator bool() const noexcept { return m_memory != nullptr; }

  void Reset(T* memory = nullptr) noexcept {
    T* old = m_memory;
    m_memory = memory;
    if (old != nullptr) CoTaskMemFree(old);
  }

  T* Release() noexcept {
    T* memory = m_memory;
    m_memory = nullptr;
    return memory;
  }

  // The slot for an out-parameter; anything held is freed first.
  T** Receive() noexcept {
    Reset();
    return &m_memory;
  }

 private:
  T* m_memory = nullptr;
};

}  // namespace quorvel
