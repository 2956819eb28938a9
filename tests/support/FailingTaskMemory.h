// A task allocator that fails on purpose, for tests of the paths taken when
// memory runs out. A program that uses it lists FailingTaskMemory.cpp among its
// own sources: its definitions of TaskMemAlloc, TaskMemRealloc and
// TaskMemFree then take the place of platform/TaskMemory.cpp's in that
// program, and nowhere else. Its memory is the C heap: such a program hands
// none of its task memory to the platform.
#pragma once

#include <cstddef>

namespace quorvel {
namespace task_memory_testing {

// Makes the `n`-th allocation or reallocation from now fail (1: the next one);
// 0 makes none fail.
void FailNthRequest(int n) noexcept;

// Bytes asked for by the latest allocation or reallocation, failed or not.
size_t LastRequestedBytes() noexcept;

}  // namespace task_memory_testing
}  // namespace quorvel
