// selection-benchmark.exe: times the command on the platform's own folder
// view, as a user meets it: the folder window on the screen. Folders of 1,000,
// 5,000 and 20,000 entries of which half match ("*.jpg" among as many ".xmp"
// side files), on both routes by which the handler reaches the view: the
// list control below the window, and the shell's view object (IFolderView).
// On each route:
//
//   (b)  the command as built (SelectMatchingFiles on the list
//        control, SelectMatchingViewItems on the view object)
//   (b0) the yardstick: the same items selected and focused one by one
//        (tools/FocusEachSelection.h), the view redrawing as it goes
//   (c)  the floor: one listing of the folder, one walk reading each item's
//        name, and the state changes of (b) with redrawing suspended, their
//        items worked out before the timing
//
// and, with --with-walk, on the list control, (a) one walk of the list per
// listed entry (tools/WalkPerEntrySelection.h). Each timing ends when the
// window has repainted what the variant changed.
//
// Everything runs in this one process: each folder has a window of its own,
// and the rounds take the variants, routes and sizes in turn, so that the
// ratios hold even on a busy machine; (b) and (c), which cost little and vary
// most, run five times per round, alternately first. Each run starts from the same state (the
// first item alone selected and focused, the list scrolled to the top, as
// after a right-click on it), and each must leave the selection, focus and
// first visible row that (b) leaves on the list control. (a) and (b0) need
// minutes at 20,000 entries: from that size on they run once, after the rounds.
//
//   selection-benchmark.exe [--runs N] [--sizes A,B,...] [--once-from N] [--with-walk] [--hidden] WORKFOLDER
//
// The folders are made in WORKFOLDER and removed afterwards. Exit code 0 when
// the timings ran and the variants agreed; 1 on a failure or disagreement; 2
// on bad usage.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/TaskMemory.h"
#include "platform/WinApi.h"
#include "shellext/FolderListing.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/MatchingSelection.h"
#include "shellext/SelectionChanges.h"
#include "tools/FocusEachSelection.h"
#include "tools/FolderWindow.h"
#include "tools/ProgramFrame.h"
#include "tools/RepaintTiming.h"
#include "tools/WalkPerEntrySelection.h"

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: selection-benchmark.exe [--runs N] [--sizes A,B,...] [--once-from N] [--with-walk] [--hidden] WORKFOLDER\n"
    L"  WORKFOLDER     where the folders of entries are made (and removed afterwards)\n"
    L"  --runs N       rounds: each times (a) and (b0) once, (b) and (c) five times, per folder and route;\n"
    L"                 the median is shown (default 7)\n"
    L"  --sizes A,...  entries per folder (default 1000,5000,20000)\n"
    L"  --once-from N  from this many entries on, (a) and (b0) run once (default 20000)\n"
    L"  --with-walk    time (a) too, the walk of the list per listed entry\n"
    L"  --hidden       hide the folder windows while timing\n";

constexpr wchar_t kPattern[] = L"*.jpg";
constexpr int kQuickRunsPerRound = 5;  // runs of (b) and of (c) in each round
constexpr DWORD kPopulateTimeout = 600000;  // a view of 20,000 entries takes a while under Wine

struct Options {
  std::wstring workFolder;
  int runs = 7;
  std::vector<int> sizes = {1000, 5000, 20000};
  int onceFrom = 20000;
  bool withWalk = false;
  bool hidden = false;
};

enum Route { kWindowRoute, kViewRoute, kRouteCount };
const wchar_t* const kRouteNames[kRouteCount] = {L"window", L"view"};

enum Variant { kWalk, kFocusEach, kAsBuilt, kFloor, kVariantCount };
const wchar_t* const kVariantNames[kVariantCount] = {L"(a)", L"(b0)", L"(b)", L"(c)"};

void Print(const std::wstring& line) { WriteUtf8(stdout, line + L"\n"); }

int Fail(const std::wstring& message) { return FailProgram(L"selection-benchmark", message); }

bool ParseOptions(int count, wchar_t** arguments, Options* options) {
  std::vector<std::wstring> positional;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument == L"--hidden") {
      options->hidden = true;
    } else if (argument == L"--with-walk") {
      options->withWalk = true;
    } else if (argument == L"--runs" || argument == L"--sizes" || argument == L"--once-from") {
      if (i + 1 >= count) return false;
      const std::wstring value = arguments[++i];
      if (argument == L"--runs" && !ParsePositive(value, &options->runs)) return false;
      if (argument == L"--once-from" && !ParsePositive(value, &options->onceFrom)) return false;
      if (argument == L"--sizes") {
        if (!ParsePositiveList(value, &options->sizes)) return false;
        std::sort(options->sizes.begin(), options->sizes.end());
      }
    } else if (argument.size() > 1 && argument[0] == L'-' && argument[1] == L'-') {
      return false;
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 1) return false;
  options->workFolder = positional[0];
  return true;
}

// A folder of photos and their side files, IMG_00000.jpg, IMG_00000.xmp, ...:
// half of the entries match the pattern. Entries already there are used as
// they are: through Wine, each new name is first looked for in every letter
// case, so 20,000 of them take a minute, and scripts/benchmark.sh makes them
// on the Linux side instead. Removed with its entries.
class CPhotoFolder {
 public:
  CPhotoFolder(const std::wstring& path, int entries) : m_path(path) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      m_error = L"cannot create " + path;
      return;
    }
    for (int i = 0; i < entries; ++i) {
      wchar_t name[32];
      swprintf(name, 32, L"IMG_%05d.%ls", i / 2, i % 2 == 0 ? L"jpg" : L"xmp");
      m_names.push_back(name);
      const std::wstring file = path + L"\\" + name;
      if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
      CScopedFileHandle made(
          CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!made.IsValid()) {
        m_error = L"cannot create " + file;
        return;
      }
    }
  }
  CPhotoFolder(const CPhotoFolder&) = delete;
  CPhotoFolder& operator=(const CPhotoFolder&) = delete;
  ~CPhotoFolder() {
    for (const std::wstring& name : m_names) DeleteFileW((m_path + L"\\" + name).c_str());
    RemoveDirectoryW(m_path.c_str());
  }

  const std::wstring& GetError() const noexcept { return m_error; }

 private:
  std::wstring m_path;
  std::vector<std::wstring> m_names;
  std::wstring m_error;
};

// The file name of view item `index`, read as the view route reads it: the
// item's full path through the view's folder, split at its last backslash.
bool ReadViewItemName(IFolderView* view, IShellFolder* folder, int index, CWideString* name) {
  CTaskMemory<ITEMIDLIST> child;
  if (FAILED(view->Item(index, reinterpret_cast<PITEMID_CHILD*>(child.Receive()))) || !child) return false;
  const auto childId = reinterpret_cast<PCUITEMID_CHILD>(child.Get());
  STRRET text = {};
  if (FAILED(folder->GetDisplayNameOf(childId, SHGDN_FORPARSING, &text))) return false;
  CTaskMemory<wchar_t> path;
  if (FAILED(StrRetToStrW(&text, childId, path.Receive())) || !path) return false;
  const wchar_t* lastBackslash = wcsrchr(path.Get(), L'\\');
  *name = CWideString(AsUtf16(lastBackslash != nullptr ? lastBackslash + 1 : path.Get()));
  return true;
}

// The least any command must do on the list control: one listing of the
// folder, one walk of the list reading each item's name, and the state
// changes themselves, whose items are known beforehand here.
void SelectAtFloorCost(HWND listView, const CWideString& folder, const CWideString& pattern,
                       const std::vector<int>& items) {
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
  }
  const int count = GetItemCount(listView);
  for (int index = 0; index < count; ++index) ReadItemFileName(listView, index, &name);
  SelectListItems(listView, items);
}

// The same on the view object.
void SelectViewItemsAtFloorCost(IFolderView* view, const CWideString& folder, const CWideString& pattern,
                                const std::vector<int>& items) {
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
  }
  CScopedComPtr<IShellFolder> shellFolder;
  int count = 0;
  if (SUCCEEDED(view->GetFolder(IID_IShellFolder, shellFolder.ReceiveVoid())) &&
      SUCCEEDED(view->ItemCount(SVGIO_ALLVIEW, &count))) {
    for (int index = 0; index < count; ++index) ReadViewItemName(view, shellFolder.Get(), index, &name);
  }
  SelectViewItems(view, items);
}

// One folder of photos in a folder window of its own, and the times of the
// variants on it, per route.
class CTimedFolder {
 public:
  CTimedFolder(const Options& options, int entries)
      : m_options(options),
        m_entries(entries),
        m_path(options.workFolder + L"\\entries-" + std::to_wstring(entries)),
        m_folder(AsUtf16((m_path + L"\\").c_str())),
        m_pattern(AsUtf16(kPattern)) {}
  CTimedFolder(const CTimedFolder&) = delete;
  CTimedFolder& operator=(const CTimedFolder&) = delete;

  // Makes the folder, opens its window, and keeps what (b) leaves on the
  // list control as the outcome every variant must leave. 0, or the exit
  // code of a failure.
  int Prepare() {
    Print(L"-- " + std::to_wstring(m_entries) + L" entries");
    DWORD start = GetTickCount();
    m_photos = std::make_unique<CPhotoFolder>(m_path, m_entries);
    if (!m_photos->GetError().empty()) return Fail(m_photos->GetError());
    Print(L"   folder ready in " + FormatNumber(L"%.1f", (GetTickCount() - start) / 1000.0) + L" s");
    start = GetTickCount();
    if (FAILED(m_window.Open(m_path, 720, 480, kPopulateTimeout))) return Fail(m_window.GetError());
    Print(L"   the view showed every entry after " + FormatNumber(L"%.1f", (GetTickCount() - start) / 1000.0) + L" s");
    m_listView = m_window.GetListView();
    const int shown = GetItemCount(m_listView);
    if (shown != m_entries) return Fail(L"the view shows " + std::to_wstring(shown) + L" items");
    if (FAILED(m_window.GetView()->QueryInterface(IID_IFolderView, m_view.ReceiveVoid()))) {
      return Fail(L"the view offers no IFolderView");
    }
    if (m_options.hidden) ShowWindow(m_window.GetFrame(), SW_HIDE);

    const CItemNameIndex items(m_listView);
    m_items = ItemsOfMatchingEntries(items, m_folder, m_pattern);
    TimeOneRun([this] { SelectMatchingFiles(m_listView, m_folder, m_pattern); });
    m_expected = ReadSelectionOutcome(m_listView);
    const int jpegs = (m_entries + 1) / 2;
    if (Matching() != jpegs) {
      return Fail(L"the command selected " + std::to_wstring(Matching()) + L" items, not " + std::to_wstring(jpegs));
    }
    return 0;
  }

  // (a) and (b0) run on every round below the size given by --once-from,
  // once at the end from that size on.
  bool SlowVariantsEveryRound() const noexcept { return m_entries < m_options.onceFrom; }

  int Time(Route route, Variant variant) {
    std::function<void()> run;
    switch (variant) {
      case kWalk:
        run = [this] { SelectMatchingFilesWalkPerEntry(m_listView, m_folder, m_pattern); };
        break;
      case kFocusEach:
        run = route == kWindowRoute
                  ? std::function<void()>([this] { SelectMatchingFilesFocusingEach(m_listView, m_folder, m_pattern); })
                  : [this] { SelectMatchingViewItemsFocusingEach(m_view.Get(), m_folder, m_pattern); };
        break;
      case kAsBuilt:
        run = route == kWindowRoute
                  ? std::function<void()>([this] { SelectMatchingFiles(m_listView, m_folder, m_pattern); })
                  : [this] { SelectMatchingViewItems(m_view.Get(), m_folder, m_pattern); };
        break;
      default:
        run = route == kWindowRoute
                  ? std::function<void()>([this] { SelectAtFloorCost(m_listView, m_folder, m_pattern, m_items); })
                  : [this] { SelectViewItemsAtFloorCost(m_view.Get(), m_folder, m_pattern, m_items); };
        break;
    }
    m_times[route][variant].push_back(TimeOneRun(run));
    if (ReadSelectionOutcome(m_listView) == m_expected) return 0;
    return Fail(std::wstring(kVariantNames[variant]) + L" on the " + kRouteNames[route] +
                L" route leaves another selection, focus or first visible row than (b) at " +
                std::to_wstring(m_entries) + L" entries");
  }

  int Entries() const noexcept { return m_entries; }
  int Matching() const { return static_cast<int>(m_expected.size()) - 2; }
  double MedianTime(Route route, Variant variant) const { return Median(m_times[route][variant]); }
  size_t Runs(Route route, Variant variant) const { return m_times[route][variant].size(); }

 private:
  double TimeOneRun(const std::function<void()>& run) { return TimeUntilRepainted(m_window, m_options.hidden, run); }

  const Options& m_options;
  const int m_entries;
  const std::wstring m_path;
  const CWideString m_folder;
  const CWideString m_pattern;
  std::unique_ptr<CPhotoFolder> m_photos;  // outlives the view that shows it
  CFolderWindow m_window;
  HWND m_listView = nullptr;
  CScopedComPtr<IFolderView> m_view;
  std::vector<int> m_items;
  std::vector<int> m_expected;
  std::vector<double> m_times[kRouteCount][kVariantCount];
};

std::wstring Milliseconds(const CTimedFolder& folder, Route route, Variant variant, const Options& options) {
  const size_t runs = folder.Runs(route, variant);
  if (runs == 0) return L"-";
  return FormatNumber(L"%.1f", folder.MedianTime(route, variant)) + (runs == 1 && options.runs > 1 ? L"*" : L"");
}

void PrintTable(const Options& options, const std::vector<std::unique_ptr<CTimedFolder>>& folders) {
  Print(L"");
  Print(L"Selecting \"" + std::wstring(kPattern) + L"\" in the platform's folder view; milliseconds, median of " +
        std::to_wstring(options.runs) + L" runs of (a) and (b0), " + std::to_wstring(options.runs * kQuickRunsPerRound) +
        L" of (b) and (c), each until the window has repainted");
  Print(L"  (a)  one walk of the list per listed entry (window route only, with --with-walk)");
  Print(L"  (b0) the yardstick: each matching item selected and focused in turn");
  Print(L"  (b)  the command as built: each item selected alone, the focus moved to the first and the last,");
  Print(L"       redrawing suspended");
  Print(L"  (c)  floor: one listing, one walk reading each item's name, and the state changes of (b),");
  Print(L"       their items worked out beforehand");
  Print(options.hidden ? L"The folder windows were hidden." : L"The folder window was on the screen.");
  Print(L"");
  Print(L"| entries | matching | route  |      (a) ms |     (b0) ms |  (b) ms |  (c) ms | (b)/(c) | (b0)/(b) |");
  Print(L"|--------:|---------:|--------|------------:|------------:|--------:|--------:|--------:|---------:|");
  bool anyOnce = false;
  for (const std::unique_ptr<CTimedFolder>& f : folders) {
    for (int r = 0; r < kRouteCount; ++r) {
      const Route route = static_cast<Route>(r);
      anyOnce = anyOnce || !f->SlowVariantsEveryRound();
      const double asBuilt = f->MedianTime(route, kAsBuilt);
      Print(L"| " + PadLeft(std::to_wstring(f->Entries()), 7) + L" | " + PadLeft(std::to_wstring(f->Matching()), 8) + L" | " +
            std::wstring(kRouteNames[route]) + std::wstring(6 - wcslen(kRouteNames[route]), L' ') + L" | " +
            PadLeft(Milliseconds(*f, route, kWalk, options), 11) + L" | " +
            PadLeft(Milliseconds(*f, route, kFocusEach, options), 11) + L" | " +
            PadLeft(FormatNumber(L"%.1f", asBuilt), 7) + L" | " + PadLeft(FormatNumber(L"%.1f", f->MedianTime(route, kFloor)), 7) + L" | " +
            PadLeft(FormatNumber(L"%.2f", asBuilt / f->MedianTime(route, kFloor)), 7) + L" | " +
            PadLeft(FormatNumber(L"%.0f", f->MedianTime(route, kFocusEach) / asBuilt), 8) + L" |");
    }
  }
  if (anyOnce) Print(L"* one run only, after the rounds: at this size the variant takes minutes");

  // The limits the command is held to, per route: close to the floor at the
  // largest size, far below the yardstick, and growing no faster than the
  // folder from the size before it.
  Print(L"");
  const CTimedFolder& largest = *folders.back();
  const CTimedFolder* before = folders.size() > 1 ? folders[folders.size() - 2].get() : nullptr;
  const std::wstring n = std::to_wstring(largest.Entries());
  for (int r = 0; r < kRouteCount; ++r) {
    const Route route = static_cast<Route>(r);
    const std::wstring name = kRouteNames[route];
    const double asBuilt = largest.MedianTime(route, kAsBuilt);
    Print(L"(b) / (c) at " + n + L" entries, " + name + L" route: " +
          FormatNumber(L"%.2f", asBuilt / largest.MedianTime(route, kFloor)));
    Print(L"(b0) / (b) at " + n + L" entries, " + name + L" route: " +
          FormatNumber(L"%.2f", largest.MedianTime(route, kFocusEach) / asBuilt));
    if (before != nullptr) {
      Print(L"(b) at " + n + L" / (b) at " + std::to_wstring(before->Entries()) + L" entries, " + name + L" route: " +
            FormatNumber(L"%.2f", asBuilt / before->MedianTime(route, kAsBuilt)));
    }
  }
}

int Run(const Options& options) {
  std::vector<std::unique_ptr<CTimedFolder>> folders;
  for (int entries : options.sizes) {
    folders.push_back(std::make_unique<CTimedFolder>(options, entries));
    if (const int failed = folders.back()->Prepare()) return failed;
  }
  // The sizes, routes and variants take turns in every round, so that a
  // change in the machine's load falls on all of them alike.
  Print(L"-- timing " + std::to_wstring(options.runs) + L" rounds");
  for (int round = 0; round < options.runs; ++round) {
    for (const std::unique_ptr<CTimedFolder>& folder : folders) {
      for (int r = 0; r < kRouteCount; ++r) {
        const Route route = static_cast<Route>(r);
        if (folder->SlowVariantsEveryRound()) {
          if (const int failed = folder->Time(route, kFocusEach)) return failed;
          if (options.withWalk && route == kWindowRoute) {
            if (const int failed = folder->Time(route, kWalk)) return failed;
          }
        }
        // (b) and (c) cost little and vary most with the machine's load:
        // they run several times per round, taking turns at going first.
        for (int pair = 0; pair < kQuickRunsPerRound; ++pair) {
          const Variant first = pair % 2 == 0 ? kAsBuilt : kFloor;
          if (const int failed = folder->Time(route, first)) return failed;
          if (const int failed = folder->Time(route, first == kAsBuilt ? kFloor : kAsBuilt)) return failed;
        }
      }
    }
  }
  for (const std::unique_ptr<CTimedFolder>& folder : folders) {
    if (folder->SlowVariantsEveryRound()) continue;
    Print(L"-- (b0)" + std::wstring(options.withWalk ? L" and (a)" : L"") + L" once at " +
          std::to_wstring(folder->Entries()) + L" entries");
    for (int r = 0; r < kRouteCount; ++r) {
      if (const int failed = folder->Time(static_cast<Route>(r), kFocusEach)) return failed;
    }
    if (options.withWalk) {
      if (const int failed = folder->Time(kWindowRoute, kWalk)) return failed;
    }
  }
  Print(L"-- every run left the same selection, focus and first visible row");
  PrintTable(options, folders);
  return 0;
}

}  // namespace
}  // namespace quorvel

int main() {
  using namespace quorvel;
  Options options;
  return RunProgram(
      L"selection-benchmark", kUsage,
      [&](int count, wchar_t** arguments) { return ParseOptions(count, arguments, &options); },
      [&] { return Run(options); });
}
