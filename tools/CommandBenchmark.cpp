// command-benchmark.exe: times the Explorer command in the COM surrogate
// against the same command in process, on the same folder view, with the
// folder window on the screen (the time ends once the window has repainted).
// Folders of photos and their side files ("*.jpg" among as many ".xmp"), the
// first photo clicked, through two views in this process:
//
//   Wine's view      the platform's, which answers the batched calls
//                    E_NOTIMPL: the command falls back to a call per item
//   batching view    a view over the platform's that offers them
//                    (tools/BatchingFolderView.h): one Items, one
//                    IEnumIDList::Next, one SelectAndPositionItems
//
// Each view is reached through the site's SID_SFolderView service as a
// counting object in this process (over Wine's view it passes every call on),
// so that the calls on the view and its enumerator, which are the calls that
// cross processes from the surrogate, are counted; the site's QueryService,
// the folder's name and reference counting cross too and are not counted.
// Each run is SetSite, Invoke and SetSite(NULL), as Windows 11's menu makes
// them once the command is chosen; the command objects are made beforehand.
// Rounds take the sizes, views and ways in turn, the way going first
// alternating, so that the ratios hold on a busy machine. Every run must leave
// the selection, focus and first visible row the first run left.
//
// Then the menu's opening, as Windows 11's first-level menu makes it:
// GetState and GetTitle on 1 and on 250 clicked photos of a folder of 251
// (clicked-251), in process and in the surrogate, on two item arrays in this
// process: one that hands out its data object as Windows' does
// (tools/ItemArrayWithDataObject.h), whose drop list the command reads in one
// call, and Wine's, which hands out none, read item by item. The calls on the
// array, its items and its data object are counted: the calls that cross
// processes from the surrogate to read the clicked items. 251 clicked must
// hide the command.
//
//   command-benchmark.exe [--runs N] [--sizes A,B,...] [--hidden] [--menu-runs N] [--menu-only] DLL WORKFOLDER
//
// DLL is quorvel.dll, registered for the run with the COM surrogate (test
// prefixes only); WORKFOLDER holds the folders entries-N with N entries and
// clicked-251 (scripts/benchmark.sh --command makes them). Exit code 0 when
// the timings ran and agreed; 1 on a failure or disagreement; 2 on bad usage.
#include <cstdio>
#include <cwchar>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "platform/WinApi.h"
#include "tools/BatchingFolderView.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderViewSite.h"
#include "tools/FolderWindow.h"
#include "tools/ItemArrayWithDataObject.h"
#include "tools/ProgramFrame.h"
#include "tools/RepaintTiming.h"
#include "tools/SurrogateRegistration.h"

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: command-benchmark.exe [--runs N] [--sizes A,B,...] [--hidden] [--menu-runs N] [--menu-only] DLL\n"
    L"                             WORKFOLDER\n"
    L"  DLL            quorvel.dll (a Windows path)\n"
    L"  WORKFOLDER     where the folders entries-N and clicked-251 are (scripts/benchmark.sh --command makes them)\n"
    L"  --runs N       rounds, each timing every size, view and way once; the median is shown (default 5)\n"
    L"  --sizes A,...  entries per folder (default 2000,20000)\n"
    L"  --hidden       hide the folder windows while timing\n"
    L"  --menu-runs N  rounds of the menu's opening, each timing every count, array and way once (default 15)\n"
    L"  --menu-only    time the menu's opening alone, not the command chosen\n";

// {F06FB54A-A1ED-4613-9C05-63353D9D46F5}: the command's class, made through
// its registration as the shell makes it.
constexpr CLSID kCommandClass = {0xF06FB54A, 0xA1ED, 0x4613, {0x9C, 0x05, 0x63, 0x35, 0x3D, 0x9D, 0x46, 0xF5}};
constexpr DWORD kPopulateTimeout = 600000;  // a view of 20,000 entries takes a while under Wine

struct Options {
  std::wstring dll;
  std::wstring workFolder;
  int runs = 5;
  std::vector<int> sizes = {2000, 20000};
  bool hidden = false;
  int menuRuns = 15;  // an opening takes tens of milliseconds: more runs steady the median
  bool menuOnly = false;
};

enum ViewKind { kWineView, kBatchingView, kViewCount };
const wchar_t* const kViewNames[kViewCount] = {L"Wine's", L"batching"};
enum Way { kInProcess, kSurrogate, kWayCount };
const wchar_t* const kWayNames[kWayCount] = {L"in process", L"surrogate"};

void Print(const std::wstring& line) { WriteUtf8(stdout, line + L"\n"); }

int Fail(const std::wstring& message) { return FailProgram(L"command-benchmark", message); }

bool ParseOptions(int count, wchar_t** arguments, Options* options) {
  std::vector<std::wstring> positional;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument == L"--hidden") {
      options->hidden = true;
    } else if (argument == L"--menu-only") {
      options->menuOnly = true;
    } else if (argument == L"--menu-runs") {
      if (i + 1 >= count || !ParsePositive(arguments[++i], &options->menuRuns)) return false;
    } else if (argument == L"--runs") {
      if (i + 1 >= count || !ParsePositive(arguments[++i], &options->runs)) return false;
    } else if (argument == L"--sizes") {
      if (i + 1 >= count || !ParsePositiveList(arguments[++i], &options->sizes)) return false;
    } else if (argument.size() > 1 && argument[0] == L'-' && argument[1] == L'-') {
      return false;
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 2) return false;
  options->dll = positional[0];
  options->workFolder = positional[1];
  return true;
}

// One folder in a window of its own, its two views, and the times and calls
// of each way on each.
class CTimedCommandFolder {
 public:
  CTimedCommandFolder(const Options& options, int entries)
      : m_options(options), m_entries(entries), m_path(options.workFolder + L"\\entries-" + std::to_wstring(entries)) {}
  CTimedCommandFolder(const CTimedCommandFolder&) = delete;
  CTimedCommandFolder& operator=(const CTimedCommandFolder&) = delete;

  int Prepare() {
    Print(L"-- " + std::to_wstring(m_entries) + L" entries");
    const DWORD start = GetTickCount();
    if (FAILED(m_window.Open(m_path, 720, 480, kPopulateTimeout))) return Fail(m_window.GetError());
    Print(L"   the view showed every entry after " + FormatNumber(L"%.1f", (GetTickCount() - start) / 1000.0) + L" s");
    const int shown = static_cast<int>(SendMessageW(m_window.GetListView(), LVM_GETITEMCOUNT, 0, 0));
    if (shown != m_entries) return Fail(L"the view of " + m_path + L" shows " + std::to_wstring(shown) + L" items");
    if (m_options.hidden) ShowWindow(m_window.GetFrame(), SW_HIDE);
    CScopedComPtr<IFolderView> platformView;
    if (FAILED(m_window.GetView()->QueryInterface(IID_IFolderView, platformView.ReceiveVoid()))) {
      return Fail(L"the view offers no IFolderView");
    }
    std::wstring error;
    if (FAILED(CreateItemArray(m_window, {L"IMG_00000.jpg"}, m_items.Receive(), &error))) return Fail(error);
    for (int v = 0; v < kViewCount; ++v) {
      m_views[v].Reset(new CBatchingFolderView(platformView.Get(), v == kBatchingView));
      m_sites[v].Reset(new CFolderViewSite(m_window.GetBrowser(), CFolderViewSite::Services::kViewAndBrowser));
      m_sites[v]->SetView(m_views[v].Get());
    }
    return 0;
  }

  int Time(ViewKind view, Way way, IExplorerCommand* command) {
    CScopedComPtr<IObjectWithSite> withSite;
    if (FAILED(command->QueryInterface(IID_IObjectWithSite, withSite.ReceiveVoid()))) {
      return Fail(L"the command takes no site");
    }
    m_views[view]->ForgetCalls();
    HRESULT invoked = E_FAIL;
    const double milliseconds = TimeUntilRepainted(m_window, m_options.hidden, [&] {
      withSite->SetSite(static_cast<IServiceProvider*>(m_sites[view].Get()));
      invoked = command->Invoke(m_items.Get(), nullptr);
      withSite->SetSite(nullptr);
    });
    if (FAILED(invoked)) return Fail(L"Invoke failed: " + FormatResult(invoked));
    m_times[view][way].push_back(milliseconds);
    m_calls[view][way] = m_views[view]->TotalCalls();
    const std::vector<int> outcome = ReadSelectionOutcome(m_window.GetListView());
    if (m_expected.empty()) {
      m_expected = outcome;
      const int matching = static_cast<int>(m_expected.size()) - 2;
      if (matching != (m_entries + 1) / 2) {
        return Fail(L"the command selected " + std::to_wstring(matching) + L" items of " + std::to_wstring(m_entries));
      }
    }
    if (outcome == m_expected) return 0;
    return Fail(std::wstring(L"the command ") + kWayNames[way] + L" on " + kViewNames[view] +
                L" view leaves another selection, focus or first visible row at " + std::to_wstring(m_entries) +
                L" entries");
  }

  int Entries() const noexcept { return m_entries; }
  double MedianTime(ViewKind view, Way way) const { return Median(m_times[view][way]); }
  long Calls(ViewKind view, Way way) const noexcept { return m_calls[view][way]; }

 private:
  const Options& m_options;
  const int m_entries;
  const std::wstring m_path;
  CFolderWindow m_window;
  CScopedComPtr<IShellItemArray> m_items;
  CScopedComPtr<CBatchingFolderView> m_views[kViewCount];
  CScopedComPtr<CFolderViewSite> m_sites[kViewCount];
  std::vector<double> m_times[kViewCount][kWayCount];
  long m_calls[kViewCount][kWayCount] = {};
  std::vector<int> m_expected;
};

void PrintTable(const Options& options, const std::vector<std::unique_ptr<CTimedCommandFolder>>& folders) {
  Print(L"");
  Print(L"The Explorer command choosing \"Select All .jpg Files\" (half the entries match): milliseconds, median of " +
        std::to_wstring(options.runs) + L" runs, each until the window has repainted; calls: on the view and its");
  Print(L"enumerator in one run, the calls that cross processes from the surrogate");
  Print(options.hidden ? L"The folder windows were hidden." : L"The folder window was on the screen.");
  Print(L"");
  Print(L"| entries | view     | (b) in process ms | (b) surrogate ms | surrogate / in process | calls |");
  Print(L"|--------:|----------|------------------:|-----------------:|-----------------------:|------:|");
  for (const auto& f : folders) {
    for (int v = 0; v < kViewCount; ++v) {
      const ViewKind view = static_cast<ViewKind>(v);
      const double inProcess = f->MedianTime(view, kInProcess);
      const double surrogate = f->MedianTime(view, kSurrogate);
      Print(L"| " + PadLeft(std::to_wstring(f->Entries()), 7) + L" | " + kViewNames[v] +
            std::wstring(9 - wcslen(kViewNames[v]), L' ') + L"| " + PadLeft(FormatNumber(L"%.1f", inProcess), 17) + L" | " +
            PadLeft(FormatNumber(L"%.1f", surrogate), 16) + L" | " + PadLeft(FormatNumber(L"%.2f", surrogate / inProcess), 22) + L" | " +
            PadLeft(std::to_wstring(f->Calls(view, kSurrogate)), 5) + L" |");
    }
  }
  Print(L"");
  const CTimedCommandFolder& largest = *folders.back();
  const std::wstring n = std::to_wstring(largest.Entries());
  for (int v = 0; v < kViewCount; ++v) {
    const ViewKind view = static_cast<ViewKind>(v);
    Print(L"(b) surrogate / (b) in process at " + n + L" entries, " + kViewNames[v] + L" view: " +
          FormatNumber(L"%.2f", largest.MedianTime(view, kSurrogate) / largest.MedianTime(view, kInProcess)));
    std::wstring calls = L"cross-process calls per run, " + std::wstring(kViewNames[v]) + L" view:";
    for (const auto& f : folders) {
      calls += L" " + std::to_wstring(f->Calls(view, kSurrogate)) + L" at " + std::to_wstring(f->Entries());
    }
    Print(calls + L" entries");
  }
}

// The command chosen, on every folder size and view, each way.
int TimeChoosing(const Options& options, IExplorerCommand* const (&commands)[kWayCount]) {
  std::vector<std::unique_ptr<CTimedCommandFolder>> folders;
  for (const int entries : options.sizes) {
    folders.push_back(std::make_unique<CTimedCommandFolder>(options, entries));
    if (const int failed = folders.back()->Prepare()) return failed;
  }
  Print(L"-- timing " + std::to_wstring(options.runs) + L" rounds");
  for (int round = 0; round < options.runs; ++round) {
    for (const auto& folder : folders) {
      for (int v = 0; v < kViewCount; ++v) {
        for (int turn = 0; turn < kWayCount; ++turn) {
          const Way way = static_cast<Way>((turn + round) % kWayCount);
          if (const int failed = folder->Time(static_cast<ViewKind>(v), way, commands[way])) return failed;
        }
      }
    }
  }
  Print(L"-- every run left the same selection, focus and first visible row");
  PrintTable(options, folders);
  return 0;
}

// The menu's opening on the folder clicked-251: GetState and GetTitle on
// 1 and 250 clicked photos, through each item array, each way, and the calls
// on the array that one opening makes.
class CTimedMenuOpening {
 public:
  enum Clicked { kOne, k250, kClickedCount };
  enum ArrayKind { kWithDataObject, kItemByItem, kArrayCount };

  explicit CTimedMenuOpening(const Options& options)
      : m_options(options), m_path(options.workFolder + L"\\clicked-251") {}
  CTimedMenuOpening(const CTimedMenuOpening&) = delete;
  CTimedMenuOpening& operator=(const CTimedMenuOpening&) = delete;

  int Prepare() {
    Print(L"-- the menu's opening, a folder of 251 photos");
    if (FAILED(m_window.Open(m_path, 720, 480))) return Fail(m_window.GetError());
    if (m_options.hidden) ShowWindow(m_window.GetFrame(), SW_HIDE);
    std::vector<std::wstring> photos;
    for (int i = 0; i < 251; ++i) photos.push_back(L"IMG_" + FormatNumber(L"%05.0f", i) + L".jpg");
    const size_t counts[kClickedCount] = {1, 250};
    std::wstring error;
    for (int c = 0; c < kClickedCount; ++c) {
      const std::vector<std::wstring> clicked(photos.begin(), photos.begin() + static_cast<std::ptrdiff_t>(counts[c]));
      if (FAILED(CreateItemArrayWithDataObject(m_window, clicked, m_arrays[c][kWithDataObject].Receive(), &error))) {
        return Fail(error);
      }
      CScopedComPtr<IShellItemArray> wineItems;
      if (FAILED(CreateItemArray(m_window, clicked, wineItems.Receive(), &error))) return Fail(error);
      m_arrays[c][kItemByItem].Reset(new CItemArrayWithDataObject(wineItems.Get(), nullptr));
    }
    if (FAILED(CreateItemArrayWithDataObject(m_window, photos, m_all.Receive(), &error))) return Fail(error);
    return 0;
  }

  // One opening: GetState, then GetTitle since the command shows.
  int Time(Clicked clicked, ArrayKind kind, Way way, IExplorerCommand* command) {
    CItemArrayWithDataObject* items = m_arrays[clicked][kind].Get();
    items->ForgetCalls();
    EXPCMDSTATE state = ECS_HIDDEN;
    CTaskMemory<wchar_t> title;
    LARGE_INTEGER start = {};
    LARGE_INTEGER end = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const HRESULT stated = command->GetState(items, FALSE, &state);
    const HRESULT titled = SUCCEEDED(stated) ? command->GetTitle(items, title.Receive()) : stated;
    QueryPerformanceCounter(&end);
    if (FAILED(titled)) return Fail(std::wstring(L"the menu's opening failed: ") + FormatResult(titled));
    if (state != ECS_ENABLED || wcscmp(title.Get(), L"Select All .jpg Files") != 0) {
      return Fail(std::wstring(L"the command ") + kWayNames[way] + L" showed another state or title: " + title.Get());
    }
    m_times[clicked][kind][way].push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                          static_cast<double>(frequency.QuadPart));
    m_calls[clicked][kind][way] = items->TotalCalls();
    return 0;
  }

  // 251 clicked hide the command; the calls that took.
  int CheckHiddenAt251(IExplorerCommand* command) {
    m_all->ForgetCalls();
    EXPCMDSTATE state = ECS_ENABLED;
    const HRESULT stated = command->GetState(m_all.Get(), FALSE, &state);
    if (FAILED(stated) || state != ECS_HIDDEN) return Fail(L"251 clicked photos did not hide the command");
    m_callsAt251 = m_all->TotalCalls();
    return 0;
  }

  void PrintTable() const {
    static const wchar_t* const kArrayNames[kArrayCount] = {L"with data object", L"Wine's, item by item"};
    static const int kCounts[kClickedCount] = {1, 250};
    Print(L"");
    Print(L"The menu opening (GetState and GetTitle) on clicked photos of a folder of 251: milliseconds, median of " +
          std::to_wstring(m_options.menuRuns) + L" runs; calls: on the item array, its items and its data object in one");
    Print(L"opening, the calls that cross processes from the surrogate to read the clicked items");
    Print(L"");
    Print(L"| clicked | item array           | in process ms | surrogate ms | surrogate / in process | calls |");
    Print(L"|--------:|----------------------|--------------:|-------------:|-----------------------:|------:|");
    for (int k = 0; k < kArrayCount; ++k) {
      for (int c = 0; c < kClickedCount; ++c) {
        const double inProcess = MedianTime(c, k, kInProcess);
        const double surrogate = MedianTime(c, k, kSurrogate);
        Print(L"| " + PadLeft(std::to_wstring(kCounts[c]), 7) + L" | " + kArrayNames[k] +
              std::wstring(21 - wcslen(kArrayNames[k]), L' ') + L"| " + PadLeft(FormatNumber(L"%.2f", inProcess), 13) +
              L" | " + PadLeft(FormatNumber(L"%.1f", surrogate), 12) + L" | " +
              PadLeft(FormatNumber(L"%.1f", surrogate / inProcess), 22) + L" | " +
              PadLeft(std::to_wstring(m_calls[c][k][kSurrogate]), 5) + L" |");
      }
    }
    Print(L"");
    Print(L"menu open, surrogate, 250 clicked / 1 clicked: " +
          FormatNumber(L"%.2f", MedianTime(k250, kWithDataObject, kSurrogate) / MedianTime(kOne, kWithDataObject, kSurrogate)));
    Print(L"menu open, surrogate, 250 clicked / 1 clicked, Wine's array item by item: " +
          FormatNumber(L"%.2f", MedianTime(k250, kItemByItem, kSurrogate) / MedianTime(kOne, kItemByItem, kSurrogate)));
    Print(L"menu open, surrogate, 250 clicked, item by item / with data object: " +
          FormatNumber(L"%.1f", MedianTime(k250, kItemByItem, kSurrogate) / MedianTime(k250, kWithDataObject, kSurrogate)));
    Print(L"calls reading the clicked items per menu opening, with data object: " +
          std::to_wstring(m_calls[kOne][kWithDataObject][kSurrogate]) + L" for 1 clicked, " +
          std::to_wstring(m_calls[k250][kWithDataObject][kSurrogate]) + L" for 250; item by item: " +
          std::to_wstring(m_calls[kOne][kItemByItem][kSurrogate]) + L" and " +
          std::to_wstring(m_calls[k250][kItemByItem][kSurrogate]));
    Print(L"251 clicked: the command hidden after " + std::to_wstring(m_callsAt251) + L" call(s) on the array");
  }

 private:
  double MedianTime(int clicked, int kind, Way way) const { return Median(m_times[clicked][kind][way]); }

  const Options& m_options;
  const std::wstring m_path;
  CFolderWindow m_window;
  CScopedComPtr<CItemArrayWithDataObject> m_arrays[kClickedCount][kArrayCount];
  CScopedComPtr<CItemArrayWithDataObject> m_all;
  std::vector<double> m_times[kClickedCount][kArrayCount][kWayCount];
  long m_calls[kClickedCount][kArrayCount][kWayCount] = {};
  long m_callsAt251 = 0;
};

int TimeMenuOpening(const Options& options, IExplorerCommand* const (&commands)[kWayCount]) {
  CTimedMenuOpening menu(options);
  if (const int failed = menu.Prepare()) return failed;
  Print(L"-- timing " + std::to_wstring(options.menuRuns) + L" rounds of the menu's opening");
  for (int round = 0; round < options.menuRuns; ++round) {
    for (int k = 0; k < CTimedMenuOpening::kArrayCount; ++k) {
      for (int c = 0; c < CTimedMenuOpening::kClickedCount; ++c) {
        for (int turn = 0; turn < kWayCount; ++turn) {
          const Way way = static_cast<Way>((turn + round) % kWayCount);
          const int failed = menu.Time(static_cast<CTimedMenuOpening::Clicked>(c),
                                       static_cast<CTimedMenuOpening::ArrayKind>(k), way, commands[way]);
          if (failed) return failed;
        }
      }
    }
  }
  if (const int failed = menu.CheckHiddenAt251(commands[kSurrogate])) return failed;
  Print(L"-- every opening showed \"Select All .jpg Files\"; 251 clicked hid the command");
  menu.PrintTable();
  return 0;
}

int Run(const Options& options) {
  CSurrogateRegistration registration;
  std::wstring error;
  if (FAILED(registration.Register(options.dll, ProgramFolder() + L"explorer-command-proxy.dll", &error))) {
    return Fail(error);
  }
  CScopedComPtr<IExplorerCommand> commands[kWayCount];
  const std::set<DWORD> before = RunningSurrogates();
  CStartedSurrogate surrogate;
  for (int w = 0; w < kWayCount; ++w) {
    const HRESULT created = CoCreateInstance(kCommandClass, nullptr, w == kSurrogate ? CLSCTX_LOCAL_SERVER
                                                                                     : CLSCTX_INPROC_SERVER,
                                             IID_IExplorerCommand, commands[w].ReceiveVoid());
    if (FAILED(created)) return Fail(std::wstring(L"cannot create the command ") + kWayNames[w] + L": " +
                                     FormatResult(created));
  }
  if (!surrogate.Find(before)) return Fail(L"no surrogate (dllhost.exe) serves the command");

  IExplorerCommand* const given[kWayCount] = {commands[kInProcess].Get(), commands[kSurrogate].Get()};
  int result = options.menuOnly ? 0 : TimeChoosing(options, given);
  if (result == 0) result = TimeMenuOpening(options, given);
  // Let go while the surrogate still runs.
  for (auto& command : commands) command.Reset();
  return result;
}

}  // namespace
}  // namespace quorvel

int main() {
  using namespace quorvel;
  Options options;
  return RunProgram(
      L"command-benchmark", kUsage,
      [&](int count, wchar_t** arguments) { return ParseOptions(count, arguments, &options); },
      [&] { return Run(options); });
}
