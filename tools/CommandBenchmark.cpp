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
//   command-benchmark.exe [--runs N] [--sizes A,B,...] [--hidden] DLL WORKFOLDER
//
// DLL is quorvel.dll, registered for the run with the COM surrogate (test
// prefixes only); WORKFOLDER holds the folders entries-N with N entries
// (scripts/benchmark.sh --command makes them). Exit code 0 when the timings
// ran and agreed; 1 on a failure or disagreement; 2 on bad usage.
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "tools/BatchingFolderView.h"
#include "tools/ExplorerCommandDriver.h"
#include "tools/FolderViewSite.h"
#include "tools/FolderWindow.h"
#include "tools/ProgramFrame.h"
#include "tools/RepaintTiming.h"
#include "tools/SurrogateRegistration.h"

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: command-benchmark.exe [--runs N] [--sizes A,B,...] [--hidden] DLL WORKFOLDER\n"
    L"  DLL            quorvel.dll (a Windows path)\n"
    L"  WORKFOLDER     where the folders entries-N are (scripts/benchmark.sh --command makes them)\n"
    L"  --runs N       rounds, each timing every size, view and way once; the median is shown (default 5)\n"
    L"  --sizes A,...  entries per folder (default 2000,20000)\n"
    L"  --hidden       hide the folder windows while timing\n";

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
          if (const int failed = folder->Time(static_cast<ViewKind>(v), way, commands[way].Get())) return failed;
        }
      }
    }
  }
  Print(L"-- every run left the same selection, focus and first visible row");
  PrintTable(options, folders);
  for (auto& command : commands) command.Reset();
  folders.clear();
  return 0;
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
