#include "platform/TaskMemory.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/WinApi.h"
#endif

namespace quorvel {

void* TaskMemAlloc(size_t bytes) noexcept {
#ifdef _WIN32
  return CoTaskMemAlloc(bytes);
#else
  return std::malloc(bytes != 0 ? bytes : 1);
#endif
}

void* TaskMemRealloc(void* memory, size_t bytes) noexcept {
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

}  // namespace quorvel
