#include "server/ModuleInstances.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quorvel {

namespace {
// Both handles start as the library's own instance. Constant-initialised from
// the image base, so the record is valid before any static constructor runs.
ModuleInstances g_instances = {reinterpret_cast<HINSTANCE>(&__ImageBase), reinterpret_cast<HINSTANCE>(&__ImageBase)};
}  // namespace

ModuleInstances& GetModuleInstances() noexcept { return g_instances; }

HINSTANCE CurrentModuleInstance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

HINSTANCE GetModuleInstance() noexcept { return GetModuleInstances().ModuleInstance; }

HINSTANCE GetResourceInstance() noexcept {
  return static_cast<HINSTANCE>(InterlockedCompareExchangePointer(
      reinterpret_cast<PVOID volatile*>(&GetModuleInstances().ResourceInstance), nullptr, nullptr));
}

HINSTANCE SetResourceInstance(HINSTANCE instance) noexcept {
  return static_cast<HINSTANCE>(InterlockedExchangePointer(
      reinterpret_cast<PVOID volatile*>(&GetModuleInstances().ResourceInstance), instance));
}

}  // namespace quorvel
