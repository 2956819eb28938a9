// CProcessResources: what this process holds of the system's resources, read
// so that a test can tell whether a long run of calls leaks any of them.
//
// Each figure comes from the platform's own counter where it works. Wine
// leaves some of them without an implementation (GetGuiResources fails with
// ERROR_CALL_NOT_IMPLEMENTED, GetProcessHandleCount and PrivateUsage answer
// 0); those figures are then counted directly: every handle value that
// GetHandleInformation accepts, every GDI handle index that GetObjectType
// accepts, and every USER handle index that names a window this process owns
// or a menu it made. USER handles are shared by every process of a session
// (under Wine, by every process of one wineserver), so a probe that took every
// window and menu would count what a program running beside the test makes or
// destroys. Heap bytes are the busy blocks of all the process's heaps, where
// the C runtime, the task allocator and global memory all allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/WinApi.h"

#include <psapi.h>

namespace quorvel {

struct ProcessResources {
  int64_t gdiObjects = 0;
  int64_t userObjects = 0;
  int64_t handles = 0;
  int64_t committedBytes = 0;
  int64_t heapBytes = 0;
};

class CProcessResources {
 public:
  static ProcessResources Read() {
    ProcessResources now;
    now.gdiObjects = GdiObjects();
    now.userObjects = UserObjects();
    now.handles = Handles();
    now.committedBytes = CommittedBytes();
    now.heapBytes = HeapBytes();
    return now;
  }

  // Where each figure comes from, for the test's output.
  static std::string Sources() {
    std::string text;
    text += GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) != 0 ? "GDI: GetGuiResources" : "GDI: handle probe";
    text += GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS) != 0 ? ", USER: GetGuiResources"
                                                                      : ", USER: probe of own windows and menus";
    DWORD count = 0;
    text += GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0 ? ", handles: GetProcessHandleCount"
                                                                              : ", handles: handle probe";
    PROCESS_MEMORY_COUNTERS_EX counters = MemoryCounters();
    text += counters.PrivateUsage != 0 ? ", committed: PrivateUsage" : ", committed: PagefileUsage";
    text += ", heap: HeapWalk of every heap";
    return text;
  }

 private:
  // Handle values and table indexes are probed up to here: Wine keeps GDI and
  // USER handle indexes and kernel handle values below it.
  static constexpr uintptr_t kProbeLimit = 0x10000;

  static int64_t GdiObjects() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) return counted;
    // A handle whose high word is zero names the object at that index,
    // whatever its generation.
    int64_t objects = 0;
    for (uintptr_t index = 1; index < kProbeLimit; ++index) {
      if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++objects;
    }
    return objects;
  }

  static int64_t UserObjects() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (counted != 0) return counted;
    const DWORD self = GetCurrentProcessId();
    int64_t objects = 0;
    for (uintptr_t value = 0x20; value < kProbeLimit; value += 2) {
      const HWND window = reinterpret_cast<HWND>(value);
      if (IsWindow(window)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == self) ++objects;
      } else if (IsMenu(reinterpret_cast<HMENU>(value))) {
        // A menu answers only in the process that made it.
        ++objects;
      }
    }
    return objects;
  }

  static int64_t Handles() {
    DWORD counted = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &counted) && counted != 0) return counted;
    int64_t handles = 0;
    for (uintptr_t value = 4; value < kProbeLimit; value += 4) {
      DWORD flags = 0;
      if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
    }
    return handles;
  }

  static PROCESS_MEMORY_COUNTERS_EX MemoryCounters() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters));
    return counters;
  }

  static int64_t CommittedBytes() {
    const PROCESS_MEMORY_COUNTERS_EX counters = MemoryCounters();
    return static_cast<int64_t>(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
  }

  static int64_t HeapBytes() {
    std::vector<HANDLE> heaps(64);
    for (;;) {
      const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
      if (count <= heaps.size()) {
        heaps.resize(count);
        break;
      }
      heaps.resize(count + 16);
    }
    int64_t bytes = 0;
    for (HANDLE heap : heaps) {
      if (!HeapLock(heap)) continue;
      PROCESS_HEAP_ENTRY entry = {};
      while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) bytes += entry.cbData;
      }
      HeapUnlock(heap);
    }
    return bytes;
  }
};

}  // namespace quorvel
