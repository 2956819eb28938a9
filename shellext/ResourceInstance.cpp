#include "shellext/ResourceInstance.h"

#include <atomic>

// The linker's symbol for the start of the image this code is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quorvel {

namespace {

// Constant-initialised: ready before any static record's constructor runs.
std::atomic<ResourceInstanceSource> g_source{nullptr};

}  // namespace

HINSTANCE ResourceInstance() noexcept {
  const ResourceInstanceSource source = g_source.load(std::memory_order_acquire);
  return source != nullptr ? source() : ModuleOfThisCode();
}

void SetResourceInstanceSource(ResourceInstanceSource source) noexcept {
  g_source.store(source, std::memory_order_release);
}

HINSTANCE ModuleOfThisCode() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace quorvel
