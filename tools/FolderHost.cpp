// folder-host.exe: opens the platform's folder view on a folder, right-clicks
// entries of it with the Quorvel handler as the shell does, chooses the
// handler's item, and reports what happened, one fact per line:
//
//   folder: Z:\tmp\sample
//   view-items: 4
//   clicked: a.txt
//   server: Z:\opt\quorvel\quorvel.dll
//   server-version: 1.0.0.0
//   initialize: 0x00000000
//   query-context-menu: 0x00000001
//   menu-item: Select All .txt Files
//   menu-bitmap: 13x13
//   help-text-w: Click to select all files with this extension in the current folder
//   help-text-a: Click to select all files with this extension in the current folder
//   invoke-command: 0x00000000
//   view-route: view
//   ansi-code-page: 1252
//   resources: quorvelENU.dll
//   listed: a.txt
//   listed: a.txt_old (short name A~1.TXT)
//   selected: a.txt
//   unselected: c.doc
//   focused: b.TXT
//   picture: Z:\tmp\shot.bmp
//
// With --way command the Explorer command plays instead, as Windows 11's
// first-level menu calls it (in this process; --way surrogate: in the COM
// surrogate), and the lines from "initialize" to "help-text-a" become
//
//   command-state: enabled
//   command-title: Select All .txt Files
//   command-tool-tip: Click to select all files with this extension in the current folder
//   command-icon: Z:\opt\quorvel\quorvel.dll,-203
//   invoke: 0x00000000
//   view-route: view
//   resources: quorvelENU.dll
//   item-array-calls: 15
//
// "resources" names the satellite resource library in the user's language
// that the library took its texts and pictures from, "none" when it took its
// own (not reported for the surrogate, whose library is in another process).
//
// The clicked items come as an item array that hands out its data object,
// as Windows' does (Wine's does not); item-array-calls counts the calls on it,
// its items and its data object, which cross processes from the surrogate.
//
// Any failure ends the program with exit code 1 and an "error:" line on
// standard error; bad usage gives exit code 2.
#include <cstdio>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "Quorvel.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tools/ContextMenuDriver.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderWindow.h"
#include "tools/MenuPicture.h"
#include "tools/MergedClassesHandler.h"
#include "tools/ProgramFrame.h"
#include "tools/SurrogateRegistration.h"

#include <psapi.h>

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: folder-host.exe [--preselect NAME]... [--picture FILE.bmp] [--menu-picture FILE.bmp]\n"
    L"                       [--site none|view|browser] [--no-window] [--way menu|command|surrogate]\n"
    L"                       [--merged-classes] FOLDER NAME...\n"
    L"  FOLDER              the folder to show in the folder view (a full path)\n"
    L"  NAME                an entry of FOLDER to right-click; the handler gets them in this order\n"
    L"  --preselect NAME    an entry that is selected before the right-click (besides the clicked ones)\n"
    L"  --picture FILE.bmp  save a picture of the window after the command\n"
    L"  --menu-picture FILE.bmp  open the context menu at the first entry and save a picture of it first\n"
    L"  --site view         give the handler a site answering SID_SFolderView and SID_STopLevelBrowser,\n"
    L"                      as Explorer does (the default); browser: SID_STopLevelBrowser only; none: no site\n"
    L"  --no-window         pass no window to InvokeCommand\n"
    L"  --way menu          the classic context-menu handler (the default); command: the Explorer command of\n"
    L"                      Windows 11's menu, in this process; surrogate: the same in the COM surrogate\n"
    L"                      (both register the command's class and its proxy for this run: the package\n"
    L"                      does that on Windows 11)\n"
    L"  --merged-classes    find the handler through the user's classes, then the machine's, as the\n"
    L"                      merged HKEY_CLASSES_ROOT of Windows does (Wine's COM reads the machine's alone)\n";

struct Options {
  std::wstring folder;
  std::vector<std::wstring> clicked;
  std::vector<std::wstring> preselected;
  std::wstring picture;
  std::wstring menuPicture;
  RightClickOptions rightClick;
  enum class Way { kMenu, kCommand, kSurrogate } way = Way::kMenu;
  bool mergedClasses = false;
};

// {F06FB54A-A1ED-4613-9C05-63353D9D46F5}
constexpr CLSID kSelecterCommandClass = {
    0xF06FB54A, 0xA1ED, 0x4613, {0x9C, 0x05, 0x63, 0x35, 0x3D, 0x9D, 0x46, 0xF5}};

// The handler as the shell gets it: through the class's registration, so
// that nothing works unless quorvel.dll was registered.
HRESULT CreateHandler(IShellExtInit** out) {
  return CoCreateInstance(CLSID_SelecterMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                          reinterpret_cast<void**>(out));
}

// The file of the module whose code serves `object`: the one its interface
// table lives in.
std::wstring ServingModule(IUnknown* object) {
  HMODULE module = nullptr;
  const auto* table = *reinterpret_cast<const wchar_t* const*>(object);
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, table,
                          &module)) {
    return std::wstring();
  }
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

// "1.0.0.0": the file version of the file's version resource, or "" when it has none.
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::wstring();
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
      fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return std::wstring();
  }
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

// The file name of the satellite resource library of `server` mapped in this
// process (the server's name without ".dll", then the language's
// abbreviation), or "none". Satellites are mapped as data, which the module
// list does not show: every mapped region is asked for its file.
std::wstring SatelliteOf(const std::wstring& server) {
  auto lower = [](std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
  };
  auto fileName = [](const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); };
  const std::wstring serverName = lower(fileName(server));
  if (serverName.size() < 4) return L"none";
  const std::wstring stem = serverName.substr(0, serverName.size() - 4);
  MEMORY_BASIC_INFORMATION region = {};
  for (const char* address = nullptr; VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State != MEM_COMMIT || (region.Type != MEM_IMAGE && region.Type != MEM_MAPPED)) continue;
    wchar_t mapped[MAX_PATH * 2] = {};
    const DWORD length = GetMappedFileNameW(GetCurrentProcess(), region.BaseAddress, mapped, MAX_PATH * 2);
    const std::wstring name = fileName(std::wstring(mapped, length));
    const std::wstring lowered = lower(name);
    if (lowered != serverName && lowered.size() > stem.size() + 4 && lowered.compare(0, stem.size(), stem) == 0 &&
        lowered.compare(lowered.size() - 4, 4, L".dll") == 0) {
      return name;
    }
  }
  return L"none";
}

// The ANSI code page of this thread, which the 8-bit help text is in.
std::wstring ThreadAnsiCodePage() {
  wchar_t codePage[8] = {};
  GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, codePage, 8);
  return codePage;
}

void Report(const wchar_t* fact, const std::wstring& value) {
  WriteUtf8(stdout, std::wstring(fact) + L": " + value + L"\n");
}

int Fail(const std::wstring& message) { return FailProgram(L"folder-host", message); }

// The extension the menu item names: ".txt" of "Select All .txt Files".
std::wstring ExtensionOfMenuText(const std::wstring& text) {
  const std::wstring prefix = L"Select All ";
  const std::wstring suffix = L" Files";
  if (text.size() < prefix.size() + suffix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::wstring();
  }
  return text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
}

// What the platform lists for FOLDER\*<extension>, as the command's folder
// scan asks for it, each entry with the short-name alias it has.
void ReportListing(const std::wstring& folder, const std::wstring& extension) {
  WIN32_FIND_DATAW entry = {};
  CScopedFindHandle listing(FindFirstFileW((folder + L"\\*" + extension).c_str(), &entry));
  if (!listing.IsValid()) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring alias = entry.cAlternateFileName;
    Report(L"listed", alias.empty() ? name : name + L" (short name " + alias + L")");
  } while (FindNextFileW(listing.Get(), &entry));
}

std::wstring FromAnsi(const std::string& text) {
  const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], units);
  return wide;
}

// Opens the context menu where the user right-clicked: on the entry `name`
// of the view. The picture shows it over the folder window.
HRESULT ShowMenuAtEntry(CFolderWindow& window, const std::wstring& name, HMENU menu, const std::wstring& picture,
                        std::wstring* error) {
  std::vector<CFolderWindow::ItemState> states;
  if (FAILED(window.ReadItemStates(&states))) {
    *error = window.GetError();
    return E_FAIL;
  }
  int index = 0;
  while (index < static_cast<int>(states.size()) && states[index].name != name) ++index;
  RECT item = {};
  item.left = LVIR_LABEL;
  if (index == static_cast<int>(states.size()) ||
      !SendMessageW(window.GetListView(), LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item))) {
    *error = L"no item of " + name + L" to open the menu on";
    return E_FAIL;
  }
  POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(window.GetListView(), &at);
  return SaveOpenMenuPicture(window.GetFrame(), menu, at, picture, error);
}

bool ParseOptions(int count, wchar_t** arguments, Options* options) {
  std::vector<std::wstring> positional;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument == L"--no-window") {
      options->rightClick.passWindow = false;
    } else if (argument == L"--merged-classes") {
      options->mergedClasses = true;
    } else if (argument == L"--preselect" || argument == L"--picture" || argument == L"--menu-picture" ||
               argument == L"--site" || argument == L"--way") {
      if (i + 1 >= count) return false;
      const std::wstring value = arguments[++i];
      if (argument == L"--menu-picture") {
        options->menuPicture = value;
      } else if (argument == L"--picture") {
        options->picture = value;
      } else if (argument == L"--way") {
        if (value == L"menu") {
          options->way = Options::Way::kMenu;
        } else if (value == L"command") {
          options->way = Options::Way::kCommand;
        } else if (value == L"surrogate") {
          options->way = Options::Way::kSurrogate;
        } else {
          return false;
        }
      } else if (argument == L"--site") {
        if (value == L"view") {
          options->rightClick.services = CFolderViewSite::Services::kViewAndBrowser;
        } else if (value == L"browser") {
          options->rightClick.services = CFolderViewSite::Services::kBrowserOnly;
        } else if (value == L"none") {
          options->rightClick.giveSite = false;
        } else {
          return false;
        }
      } else {
        options->preselected.push_back(value);
      }
    } else if (argument.size() > 1 && argument[0] == L'-' && argument[1] == L'-') {
      return false;
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() < 2) return false;
  options->folder = positional[0];
  options->clicked.assign(positional.begin() + 1, positional.end());
  return true;
}

int ReportStates(const Options& options, CFolderWindow& window);

// The file registered as the server of the classic handler (regsvr32 wrote it).
std::wstring RegisteredServer() {
  wchar_t clsid[40] = {};
  StringFromGUID2(CLSID_SelecterMenu, clsid, 40);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
  wchar_t path[MAX_PATH] = {};
  DWORD size = sizeof(path);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return path;
}

// The Explorer command played as Windows 11's menu plays it.
int RunCommand(const Options& options, CFolderWindow& window) {
  const std::wstring server = RegisteredServer();
  if (server.empty()) return Fail(L"the handler is not registered: regsvr32 quorvel.dll");
  CSurrogateRegistration registration;
  std::wstring error;
  if (FAILED(registration.Register(server, ProgramFolder() + L"explorer-command-proxy.dll", &error))) {
    return Fail(error);
  }
  const bool surrogate = options.way == Options::Way::kSurrogate;
  const std::set<DWORD> before = RunningSurrogates();
  CStartedSurrogate started;
  CScopedComPtr<IExplorerCommand> command;
  const HRESULT created = CoCreateInstance(kSelecterCommandClass, nullptr,
                                           surrogate ? CLSCTX_LOCAL_SERVER : CLSCTX_INPROC_SERVER,
                                           IID_IExplorerCommand, command.ReceiveVoid());
  if (FAILED(created)) return Fail(L"cannot create the command: " + FormatResult(created));
  if (surrogate) started.Find(before);
  Report(L"server", surrogate ? L"the COM surrogate (dllhost.exe) with " + server : ServingModule(command.Get()));

  // Windows' item array hands out a data object for its items; Wine's does not.
  CScopedComPtr<CItemArrayWithDataObject> items;
  if (FAILED(CreateItemArrayWithDataObject(window, options.clicked, items.Receive(), &error))) return Fail(error);
  ExplorerCommandOptions commandOptions;
  commandOptions.giveSite = options.rightClick.giveSite;
  commandOptions.services = options.rightClick.services;
  ExplorerCommandReport report;
  const HRESULT result = DriveExplorerCommand(command.Get(), window, items.Get(), commandOptions, &report, &error);
  if (SUCCEEDED(report.getState)) Report(L"command-state", (report.state & ECS_HIDDEN) ? L"hidden" : L"enabled");
  if (SUCCEEDED(report.getTitle)) Report(L"command-title", report.title);
  if (SUCCEEDED(report.getToolTip)) Report(L"command-tool-tip", report.toolTip);
  if (SUCCEEDED(report.getIcon)) Report(L"command-icon", report.icon);
  if (SUCCEEDED(report.getFlags)) Report(L"invoke", FormatResult(report.invoke));
  if (!report.viewRoute.empty()) Report(L"view-route", report.viewRoute);
  if (!surrogate) Report(L"resources", SatelliteOf(ServingModule(command.Get())));
  Report(L"item-array-calls", std::to_wstring(items->TotalCalls()));
  if (FAILED(result)) return Fail(error);
  // The shell lets the command go once its menu is closed.
  command.Reset();
  items.Reset();
  if (surrogate) {
    CoFreeUnusedLibraries();
    Report(L"surrogate", started.End(5000) ? L"exited after the last release" : L"still running after 5 s: ended");
  }
  return 0;
}

int Run(const Options& options) {
  CFolderWindow window;
  const bool pictured = !options.picture.empty() || !options.menuPicture.empty();
  if (FAILED(window.Open(options.folder, 720, 480, CFolderWindow::kDefaultPopulateTimeout,
                         pictured ? CFolderWindow::Placement::kBottomRight : CFolderWindow::Placement::kTopLeft))) {
    return Fail(window.GetError());
  }
  Report(L"folder", options.folder);
  Report(L"view-items", std::to_wstring(SendMessageW(window.GetListView(), LVM_GETITEMCOUNT, 0, 0)));

  // A right-click selects the clicked entries in the view.
  if (FAILED(window.SelectEntries(options.preselected, false)) ||
      FAILED(window.SelectEntries(options.clicked, !options.preselected.empty()))) {
    return Fail(window.GetError());
  }
  for (const std::wstring& name : options.clicked) Report(L"clicked", name);
  if (options.way != Options::Way::kMenu) {
    const int failed = RunCommand(options, window);
    if (failed != 0) return failed;
    return ReportStates(options, window);
  }
  CScopedComPtr<IDataObject> dataObject;
  if (FAILED(window.CreateDataObject(options.clicked, dataObject.Receive()))) return Fail(window.GetError());

  // Declared before the handler, so that the library outlives it.
  CLibraryHandle mergedServer;
  CScopedComPtr<IShellExtInit> handler;
  if (options.mergedClasses) {
    MergedClassesHandler found;
    std::wstring error;
    const HRESULT hr = CreateHandlerThroughMergedClasses(IID_IShellExtInit, handler.ReceiveVoid(), &mergedServer,
                                                         &found, &error);
    if (FAILED(hr)) return Fail(L"cannot create the handler: " + FormatResult(hr) + L" (" + error + L")");
    Report(L"handler-key", found.handlerFrom);
    Report(L"class-key", found.serverFrom);
    Report(L"approved", found.approvedBy);
  }
  const HRESULT created = options.mergedClasses ? S_OK : CreateHandler(handler.Receive());
  if (FAILED(created)) {
    return Fail(L"cannot create the handler: " + FormatResult(created) +
                (created == REGDB_E_CLASSNOTREG ? L" (the class is not registered: regsvr32 quorvel.dll)" : L""));
  }
  const std::wstring server = ServingModule(handler.Get());
  Report(L"server", server);
  Report(L"server-version", FileVersion(server));

  RightClickReport report;
  std::wstring error;
  RightClickOptions rightClick = options.rightClick;
  if (!options.menuPicture.empty()) {
    rightClick.showMenu = [&](HMENU menu, std::wstring* menuError) {
      return ShowMenuAtEntry(window, options.clicked.front(), menu, options.menuPicture, menuError);
    };
  }
  const HRESULT result = DriveRightClick(handler.Get(), window, dataObject.Get(), rightClick, &report, &error);
  Report(L"initialize", FormatResult(report.initialize));
  if (SUCCEEDED(report.initialize)) Report(L"query-context-menu", FormatResult(report.queryContextMenu));
  if (report.menuItemCount > 0) {
    Report(L"menu-item", report.menuText);
    Report(L"menu-bitmap", std::to_wstring(report.bitmapWidth) + L"x" + std::to_wstring(report.bitmapHeight));
  }
  if (SUCCEEDED(report.helpTextW)) Report(L"help-text-w", report.helpW);
  if (SUCCEEDED(report.helpTextA)) Report(L"help-text-a", FromAnsi(report.helpA));
  if (!options.menuPicture.empty() && SUCCEEDED(report.helpTextA)) Report(L"menu-picture", options.menuPicture);
  if (SUCCEEDED(report.helpTextA)) Report(L"invoke-command", FormatResult(report.invokeCommand));
  if (!report.viewRoute.empty()) Report(L"view-route", report.viewRoute);
  Report(L"ansi-code-page", ThreadAnsiCodePage());
  Report(L"resources", SatelliteOf(server));
  if (FAILED(result)) return Fail(error);
  handler.Reset();  // the shell lets the handler go once its menu is closed
  const std::wstring extension = ExtensionOfMenuText(report.menuText);
  if (extension.size() > 1) ReportListing(options.folder, extension);
  return ReportStates(options, window);
}

int ReportStates(const Options& options, CFolderWindow& window) {
  std::vector<CFolderWindow::ItemState> states;
  if (FAILED(window.ReadItemStates(&states))) return Fail(window.GetError());
  for (const CFolderWindow::ItemState& state : states) {
    if (state.selected) Report(L"selected", state.name);
  }
  for (const CFolderWindow::ItemState& state : states) {
    if (!state.selected) Report(L"unselected", state.name);
  }
  for (const CFolderWindow::ItemState& state : states) {
    if (state.focused) Report(L"focused", state.name);
  }

  if (!options.picture.empty()) {
    if (FAILED(window.SavePicture(options.picture))) return Fail(window.GetError());
    Report(L"picture", options.picture);
  }
  return 0;
}

}  // namespace
}  // namespace quorvel

int main() {
  using namespace quorvel;
  Options options;
  return RunProgram(
      L"folder-host", kUsage, [&](int count, wchar_t** arguments) { return ParseOptions(count, arguments, &options); },
      [&] { return Run(options); });
}
