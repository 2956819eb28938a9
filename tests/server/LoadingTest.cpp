// quorvel.dll loaded and unloaded as the shell does, with satellite resource
// libraries beside it: which one serves the menu bitmap and the command's
// texts (the library's own where it lacks them or they are damaged), that none of them
// runs any code, that nothing of them stays mapped after FreeLibrary, and
// that a process exits cleanly with the library and a satellite loaded.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "Quorvel.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ServerLibrary.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WinePath.h"

#include <psapi.h>

namespace quorvel {
namespace {

constexpr COLORREF kOwnCorner = RGB(0xF0, 0xF0, 0xF0);
constexpr COLORREF kLanguageCorner = RGB(0x00, 0xFF, 0x00);
constexpr COLORREF kFallbackCorner = RGB(0xFF, 0x00, 0x00);
constexpr COLORREF kTracingCorner = RGB(0x00, 0x00, 0xFF);

// The menu item and help text of a handler that was given no files: the
// title's format with an empty extension.
constexpr wchar_t kOwnTitle[] = L"Select All  Files";
constexpr wchar_t kOwnHelp[] = L"Click to select all files with this extension in the current folder";
constexpr wchar_t kLanguageTitle[] = L"Alle -Dateien markieren";
constexpr wchar_t kLanguageHelp[] = L"Markiert alle Dateien mit dieser Erweiterung im aktuellen Ordner";

// What lies beside the library under a satellite's name.
enum class Satellite { None, Language, Fallback, Tracing, NotAnImage };

std::wstring BuiltSatellite(Satellite satellite) {
  const wchar_t* name = satellite == Satellite::Language   ? L"satellite-language.dll"
                        : satellite == Satellite::Fallback ? L"satellite-fallback.dll"
                                                           : L"satellite-tracing.dll";
  return WinePath(kServerTestFolder) + L"\\" + name;
}

// The user's UI language's three-letter abbreviation: the name of the first
// satellite the library looks for is "quorvel" + it + ".dll".
std::wstring UserLanguageAbbreviation() {
  wchar_t abbreviation[16] = {};
  const LCID locale = ConvertDefaultLocale(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT));
  EXPECT_GT(GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, abbreviation, 16), 0);
  return abbreviation;
}

// A copy of quorvel.dll in a folder of its own, with satellites beside it.
class CLibraryFolder {
 public:
  CLibraryFolder() {
    EXPECT_TRUE(CopyFileW(WinePath(kBuiltDll).c_str(), Library().c_str(), FALSE)) << "cannot copy quorvel.dll";
  }

  std::wstring Library() const { return m_folder.PathOf(L"quorvel.dll"); }
  std::wstring LanguageSatellite() const { return m_folder.PathOf(L"quorvel" + UserLanguageAbbreviation() + L".dll"); }
  std::wstring FallbackSatellite() const { return m_folder.PathOf(L"quorvelLOC.dll"); }

  void Place(Satellite satellite, const std::wstring& path) const {
    if (satellite == Satellite::None) return;
    if (satellite == Satellite::NotAnImage) {
      CScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
      ASSERT_TRUE(file.IsValid());
      const char text[] = "MZ but no library: a file that only carries the name";
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file.Get(), text, sizeof(text), &written, nullptr));
      return;
    }
    ASSERT_TRUE(CopyFileW(BuiltSatellite(satellite).c_str(), path.c_str(), FALSE));
  }

  // Whether the entry point of the satellite at `path` has ever run.
  static bool LeftATrace(const std::wstring& path) {
    return GetFileAttributesW((path + L".ran").c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  CTempFolder m_folder;
};

// What a handler of `library` shows: its menu bitmap's top left pixel and
// width, the item's text and the help text.
struct MenuItemSeen {
  COLORREF corner = CLR_INVALID;
  LONG width = 0;
  std::wstring text;
  std::wstring help;
};

MenuItemSeen MenuItemOf(const CServerLibrary& library) {
  MenuItemSeen seen;
  CScopedComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, library.GetClassObject(CLSID_SelecterMenu, IID_IClassFactory, factory.ReceiveVoid()));
  CScopedComPtr<IContextMenu> menu;
  if (!factory || factory->CreateInstance(nullptr, IID_IContextMenu, menu.ReceiveVoid()) != S_OK) return seen;
  CScopedMenu popup(CreatePopupMenu());
  EXPECT_EQ(1, menu->QueryContextMenu(popup.Get(), 0, 1, 100, CMF_NORMAL));
  wchar_t text[128] = {};
  MENUITEMINFOW item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_CHECKMARKS | MIIM_STRING;
  item.dwTypeData = text;
  item.cch = 128;
  EXPECT_TRUE(GetMenuItemInfoW(popup.Get(), 0, TRUE, &item));
  seen.text = text;
  wchar_t help[128] = {};
  EXPECT_EQ(S_OK, menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 128));
  seen.help = help;
  BITMAP bitmap = {};
  EXPECT_EQ(static_cast<int>(sizeof(bitmap)), GetObjectW(item.hbmpUnchecked, sizeof(bitmap), &bitmap));
  seen.width = bitmap.bmWidth;
  CScopedMemoryDC dc(CreateCompatibleDC(nullptr));
  HGDIOBJ old = SelectObject(dc.Get(), item.hbmpUnchecked);
  seen.corner = GetPixel(dc.Get(), 0, 0);
  SelectObject(dc.Get(), old);
  return seen;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// Whether any part of the file at `path` is mapped into this process, as an
// image or as data: every region of the address space is asked which file
// it maps.
bool IsMapped(const std::wstring& path) {
  // The platform names mapped files by device path: compare the folder and
  // file name, which are unique to the test.
  const std::wstring tail = Lower(path.substr(path.rfind(L'\\', path.rfind(L'\\') - 1)));
  MEMORY_BASIC_INFORMATION region = {};
  for (const char* address = nullptr;
       VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State != MEM_COMMIT || (region.Type != MEM_IMAGE && region.Type != MEM_MAPPED)) continue;
    wchar_t name[MAX_PATH * 2] = {};
    const DWORD length = GetMappedFileNameW(GetCurrentProcess(), region.BaseAddress, name, MAX_PATH * 2);
    const std::wstring mapped = Lower(std::wstring(name, length));
    if (mapped.size() >= tail.size() && mapped.compare(mapped.size() - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

struct SatelliteCase {
  const char* what;
  Satellite language;  // quorvel<user language>.dll
  Satellite fallback;  // quorvelLOC.dll
  COLORREF corner;
  const wchar_t* title;
  const wchar_t* help;
};

void PrintTo(const SatelliteCase& c, std::ostream* os) { *os << c.what; }

class SatelliteResources : public ::testing::TestWithParam<SatelliteCase> {};

TEST_P(SatelliteResources, ResourcesComeFromTheFirstSatelliteThatMapsAndNoneRuns) {
  const SatelliteCase& c = GetParam();
  CLibraryFolder folder;
  folder.Place(c.language, folder.LanguageSatellite());
  folder.Place(c.fallback, folder.FallbackSatellite());
  {
    CServerLibrary server;
    ASSERT_TRUE(server.Load(folder.Library()));
    const MenuItemSeen seen = MenuItemOf(server);
    EXPECT_EQ(c.corner, seen.corner);
    EXPECT_EQ(13, seen.width);
    EXPECT_EQ(c.title, seen.text);
    EXPECT_EQ(c.help, seen.help);
  }
  EXPECT_FALSE(CLibraryFolder::LeftATrace(folder.LanguageSatellite())) << "a satellite's code ran";
  EXPECT_FALSE(CLibraryFolder::LeftATrace(folder.FallbackSatellite())) << "a satellite's code ran";

  if (c.language == Satellite::Tracing) {
    // The trace is there to be seen: the same file loaded as code leaves it.
    CLibraryHandle asCode(LoadLibraryW(folder.LanguageSatellite().c_str()));
    ASSERT_TRUE(asCode.IsValid());
    EXPECT_TRUE(CLibraryFolder::LeftATrace(folder.LanguageSatellite()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SatelliteResources,
    ::testing::Values(
        SatelliteCase{"None", Satellite::None, Satellite::None, kOwnCorner, kOwnTitle, kOwnHelp},
        // A satellite without texts: the library's own.
        SatelliteCase{"FallbackOnly", Satellite::None, Satellite::Fallback, kFallbackCorner, kOwnTitle, kOwnHelp},
        SatelliteCase{"UserLanguageFirst", Satellite::Language, Satellite::Fallback, kLanguageCorner, kLanguageTitle,
                      kLanguageHelp},
        // Its title without the extension's place and its empty help text
        // are passed over for the library's own.
        SatelliteCase{"EntryPointNeverRuns", Satellite::Tracing, Satellite::None, kTracingCorner, kOwnTitle, kOwnHelp},
        SatelliteCase{"NoImageIsPassedOver", Satellite::NotAnImage, Satellite::Fallback, kFallbackCorner, kOwnTitle,
                      kOwnHelp},
        SatelliteCase{"NoImageAtAllLeavesTheOwnBitmap", Satellite::NotAnImage, Satellite::NotAnImage, kOwnCorner,
                      kOwnTitle, kOwnHelp}),
    [](const ::testing::TestParamInfo<SatelliteCase>& info) { return info.param.what; });

TEST(LibraryUnload, FreeLibraryLeavesNothingOfTheLibraryOrItsSatelliteMapped) {
  CLibraryFolder folder;
  folder.Place(Satellite::Fallback, folder.FallbackSatellite());
  CServerLibrary server;
  ASSERT_TRUE(server.Load(folder.Library()));
  ASSERT_EQ(kFallbackCorner, MenuItemOf(server).corner) << "the satellite serves the bitmap";
  EXPECT_TRUE(IsMapped(folder.Library()));
  EXPECT_TRUE(IsMapped(folder.FallbackSatellite())) << "the satellite is mapped while the library is loaded";
  EXPECT_EQ(S_OK, server.CanUnloadNow()) << "the handler and the factory are released";

  server.Unload();
  EXPECT_FALSE(IsMapped(folder.Library()));
  EXPECT_FALSE(IsMapped(folder.FallbackSatellite()));
  EXPECT_EQ(nullptr, GetModuleHandleW(folder.Library().c_str()));
}

// Exit code of exit-host.exe run on `library` in `mode`.
DWORD RunExitHost(const std::wstring& library, const wchar_t* mode) {
  std::wstring commandLine = L"\"" + WinePath(kExitHostExe) + L"\" \"" + library + L"\" " + mode;
  return RunToExit(commandLine);
}

TEST(LibraryUnload, AProcessExitsCleanlyWithTheLibraryAndASatelliteLoaded) {
  CLibraryFolder folder;
  folder.Place(Satellite::Fallback, folder.FallbackSatellite());
  for (const wchar_t* mode : {L"keep", L"release"}) {
    // 42: the satellite served the bitmap and the process ended as main said.
    EXPECT_EQ(42u, RunExitHost(folder.Library(), mode)) << "handler and factory: " << CTempFolder::Narrow(mode);
  }
}

// A thread that made the library throw and catch inside (running out of
// memory in Initialize) ends after the library was unloaded, then the
// process ends: neither may run code of the unloaded library.
TEST(LibraryUnload, AThreadEndsCleanlyAfterTheLibraryThrewAndWasUnloaded) {
  CLibraryFolder folder;
  const std::wstring commandLine = L"\"" + WinePath(kUnloadHostExe) + L"\" \"" + folder.Library() + L"\"";
  // 0: Initialize answered E_OUTOFMEMORY, the library was unloaded, and the
  // thread and the process ended cleanly.
  EXPECT_EQ(0u, RunToExit(commandLine));
}

}  // namespace
}  // namespace quorvel
