// 100 cycles of registering and removing the built quorvel.dll, most through
// its exports in this process and every tenth through the platform's
// regsvr32, leave the registry exactly as it was before the first: every key
// and value beneath HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\Software, the
// hives that registration writes to, is compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ServerLibrary.h"
#include "tests/support/WinePath.h"

namespace quorvel {
namespace {

constexpr int kCycles = 100;
constexpr int kRegsvr32Every = 10;

std::vector<std::string> AffectedHives(CRealRegistryView& view) {
  std::vector<std::string> lines = view.DumpSubtree(HKEY_CLASSES_ROOT, u"");
  const std::vector<std::string> software = view.DumpSubtree(HKEY_LOCAL_MACHINE, u"Software");
  lines.insert(lines.end(), software.begin(), software.end());
  return lines;
}

// Lines of `from` that `other` does not hold.
std::vector<std::string> Missing(std::vector<std::string> from, std::vector<std::string> other) {
  std::sort(from.begin(), from.end());
  std::sort(other.begin(), other.end());
  std::vector<std::string> missing;
  std::set_difference(from.begin(), from.end(), other.begin(), other.end(), std::back_inserter(missing));
  return missing;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size() && i < 20; ++i) text += "  " + lines[i] + "\n";
  if (lines.size() > 20) text += "  ... " + std::to_string(lines.size() - 20) + " more\n";
  return text;
}

// Runs the platform's regsvr32 silently on the library; its exit code.
DWORD RunRegsvr32(bool unregister) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + (unregister ? L"/u " : L"") +
                         L"\"" + WinePath(kBuiltDll) + L"\"";
  return RunToExit(command);
}

std::string ModulePathText(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return PrintableName(std::wstring(path, length));
}

TEST(RegistrationCycles, LeaveTheRegistryExactlyAsItWas) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    CServerLibrary library;
    ASSERT_TRUE(library.Load(WinePath(kBuiltDll))) << "cannot load quorvel.dll: " << GetLastError();
    const std::string modulePath = ModulePathText(library.Get());

    // Whatever an earlier run left registered goes first; its result does
    // not matter here.
    library.UnregisterServer();
    // The shared keys that the scripts mark NoRemove are on every Windows
    // system and stay after removal; a fresh prefix may lack some of them.
    for (const RegistryPlace& key : KeptKeys()) ASSERT_TRUE(CreateRealKey(key.root, AsWide(key.path)));
    CRealRegistryView view;
    const std::vector<std::string> before = AffectedHives(view);

    const DWORD start = GetTickCount();
    int throughRegsvr32 = 0;
    for (int cycle = 1; cycle <= kCycles && !HasFailure(); ++cycle) {
      if (cycle % kRegsvr32Every == 0) {
        ++throughRegsvr32;
        ASSERT_EQ(0u, RunRegsvr32(false)) << "cycle " << cycle;
        ExpectRegistered(view, modulePath);
        ASSERT_EQ(0u, RunRegsvr32(true)) << "cycle " << cycle;
      } else {
        ASSERT_EQ(S_OK, library.RegisterServer()) << "cycle " << cycle;
        ExpectRegistered(view, modulePath);
        ASSERT_EQ(S_OK, library.UnregisterServer()) << "cycle " << cycle;
      }
      ExpectRemoved(view);
    }
    const DWORD elapsed = GetTickCount() - start;

    const std::vector<std::string> after = AffectedHives(view);
    const std::vector<std::string> gone = Missing(before, after);
    const std::vector<std::string> added = Missing(after, before);
    std::printf("%d cycles (%d through regsvr32) in %lu ms; compared %zu lines before and %zu after "
                "(HKCR and HKLM\\Software): %zu gone, %zu added\n",
                kCycles, throughRegsvr32, static_cast<unsigned long>(elapsed), before.size(), after.size(),
                gone.size(), added.size());
    EXPECT_TRUE(gone.empty()) << "gone since the first cycle:\n" << Joined(gone);
    EXPECT_TRUE(added.empty()) << "added since the first cycle:\n" << Joined(added);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace quorvel
