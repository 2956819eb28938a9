// selection-benchmark.exe: times the command's folder scan on the platform's
// own folder view, for folders of 1,000, 5,000 and 20,000 entries of which
// half match ("*.jpg" among as many ".xmp" side files):
//
//   (a) one walk of the list per listed entry (tools/WalkPerEntrySelection.h)
//   (b) the handler's scan as built (CSelecterMenu::SelectMatchingFiles)
//   (c) the floor: one listing of the folder, one walk of the list reading
//       each item's name (record, path conversion, split), and the same
//       state changes as (b), their items worked out before the timing
//
// Everything runs in this one process: each folder has a view of its own,
// and the rounds take the variants and the sizes in turn, so that the ratios
// hold even on a busy machine. Each run starts from the same state (the first
// item alone selected and focused, as after a right-click on it), and each
// must leave the selection and focus that (b) leaves. (a) needs minutes at
// 20,000 entries: from that size on it runs once, after the rounds.
//
//   selection-benchmark.exe [--runs N] [--sizes A,B,...] [--walk-once-from N] [--on-screen] WORKFOLDER
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

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "shellext/FolderListing.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/SelecterMenu.h"
#include "tools/FolderWindow.h"
#include "tools/ProgramFrame.h"
#include "tools/WalkPerEntrySelection.h"

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: selection-benchmark.exe [--runs N] [--sizes A,B,...] [--walk-once-from N] [--on-screen] WORKFOLDER\n"
    L"  WORKFOLDER          where the folders of entries are made (and removed afterwards)\n"
    L"  --runs N            timed runs of each variant per folder; the median is shown (default 7)\n"
    L"  --sizes A,B,...     entries per folder (default 1000,5000,20000)\n"
    L"  --walk-once-from N  from this many entries on, (a) runs once (default 20000)\n"
    L"  --on-screen         keep the folder window on the screen while timing\n";

constexpr wchar_t kPattern[] = L"*.jpg";
constexpr DWORD kPopulateTimeout = 600000;  // a view of 20,000 entries takes a while under Wine

struct Options {
  std::wstring workFolder;
  int runs = 7;
  std::vector<int> sizes = {1000, 5000, 20000};
  int walkOnceFrom = 20000;
  bool onScreen = false;
};

struct SizeResult {
  int entries = 0;
  int matching = 0;
  double walkPerEntry = 0;  // milliseconds, median
  int walkRuns = 0;
  double asBuilt = 0;
  double floor = 0;
};

void Print(const std::wstring& line) { WriteUtf8(stdout, line + L"\n"); }

int Fail(const std::wstring& message) { return FailProgram(L"selection-benchmark", message); }

std::wstring Format(const wchar_t* format, double value) {
  wchar_t text[64];
  swprintf(text, 64, format, value);
  return text;
}

bool ParsePositive(const std::wstring& text, int* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  *out = std::stoi(text);
  return *out > 0;
}

bool ParseOptions(int count, wchar_t** arguments, Options* options) {
  std::vector<std::wstring> positional;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument == L"--on-screen") {
      options->onScreen = true;
    } else if (argument == L"--runs" || argument == L"--sizes" || argument == L"--walk-once-from") {
      if (i + 1 >= count) return false;
      const std::wstring value = arguments[++i];
      if (argument == L"--runs" && !ParsePositive(value, &options->runs)) return false;
      if (argument == L"--walk-once-from" && !ParsePositive(value, &options->walkOnceFrom)) return false;
      if (argument == L"--sizes") {
        options->sizes.clear();
        size_t start = 0;
        for (;;) {
          const size_t comma = value.find(L',', start);
          int size = 0;
          if (!ParsePositive(value.substr(start, comma - start), &size)) return false;
          options->sizes.push_back(size);
          if (comma == std::wstring::npos) break;
          start = comma + 1;
        }
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

void SetState(HWND listView, int index, UINT state, UINT mask) {
  LVITEMW item = {};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// The state changes the scan makes, in its order: the item of each listed
// entry, worked out before the timing.
std::vector<int> ItemsOfListedEntries(HWND listView, const CWideString& folder, const CWideString& pattern) {
  const CItemNameIndex items(listView);
  std::vector<int> indexes;
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
    const int index = items.Find(name);
    if (index != -1) indexes.push_back(index);
  }
  return indexes;
}

// The least any scan must do: one listing of the folder, one walk of the list
// reading each item's name, and the state changes themselves, whose items are
// known beforehand here.
void SelectAtFloorCost(HWND listView, const CWideString& folder, const CWideString& pattern,
                       const std::vector<int>& stateChanges) {
  CFolderListing listing(folder, pattern);
  CWideString name;
  while (listing.Next(&name)) {
  }
  const int count = GetItemCount(listView);
  for (int index = 0; index < count; ++index) ReadItemFileName(listView, index, &name);
  for (int index : stateChanges) {
    SetState(listView, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
}

// The state a right-click on the first entry leaves: it alone selected and
// focused. Then the view handles what the change queued, outside the timing.
void ResetSelection(HWND listView) {
  SetState(listView, -1, 0, LVIS_SELECTED);
  SetState(listView, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CFolderWindow::PumpMessages(20);
}

double TimeOneRun(HWND listView, const std::function<void()>& scan) {
  ResetSelection(listView);
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  scan();
  QueryPerformanceCounter(&end);
  const double milliseconds =
      static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
  CFolderWindow::PumpMessages(20);
  return milliseconds;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The selected items in list order, then the focused one (-1 for none).
std::vector<int> ReadSelectionAndFocus(HWND listView) {
  std::vector<int> indexes;
  int index = -1;
  for (;;) {
    index = static_cast<int>(SendMessageW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
    if (index == -1) break;
    indexes.push_back(index);
  }
  indexes.push_back(static_cast<int>(SendMessageW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
  return indexes;
}

// One folder of photos in a folder view of its own, and the times of the
// three scans on it.
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

  // Makes the folder, opens its view, and keeps what (b) leaves as the
  // outcome every variant must leave. 0, or the exit code of a failure.
  int Prepare() {
    Print(L"-- " + std::to_wstring(m_entries) + L" entries");
    DWORD start = GetTickCount();
    m_photos = std::make_unique<CPhotoFolder>(m_path, m_entries);
    if (!m_photos->GetError().empty()) return Fail(m_photos->GetError());
    Print(L"   folder ready in " + Format(L"%.1f", (GetTickCount() - start) / 1000.0) + L" s");
    start = GetTickCount();
    if (FAILED(m_window.Open(m_path, 720, 480, kPopulateTimeout))) return Fail(m_window.GetError());
    Print(L"   the view showed every entry after " + Format(L"%.1f", (GetTickCount() - start) / 1000.0) + L" s");
    m_listView = m_window.GetListView();
    const int shown = GetItemCount(m_listView);
    if (shown != m_entries) return Fail(L"the view shows " + std::to_wstring(shown) + L" items");
    if (!m_options.onScreen) ShowWindow(m_window.GetFrame(), SW_HIDE);

    m_stateChanges = ItemsOfListedEntries(m_listView, m_folder, m_pattern);
    TimeOneRun(m_listView, [this] { CSelecterMenu::SelectMatchingFiles(m_listView, m_folder, m_pattern); });
    m_expected = ReadSelectionAndFocus(m_listView);
    const int jpegs = (m_entries + 1) / 2;
    if (Matching() != jpegs) {
      return Fail(L"the scan selected " + std::to_wstring(Matching()) + L" items, not " + std::to_wstring(jpegs));
    }
    return 0;
  }

  // (a) runs on every round below the size given by --walk-once-from, once
  // at the end from that size on.
  bool WalksEveryRound() const noexcept { return m_entries < m_options.walkOnceFrom; }

  int TimeWalk() {
    m_walkTimes.push_back(
        TimeOneRun(m_listView, [this] { SelectMatchingFilesWalkPerEntry(m_listView, m_folder, m_pattern); }));
    return Check(L"(a)");
  }

  int TimeAsBuiltAndFloor() {
    m_asBuiltTimes.push_back(
        TimeOneRun(m_listView, [this] { CSelecterMenu::SelectMatchingFiles(m_listView, m_folder, m_pattern); }));
    if (const int failed = Check(L"(b)")) return failed;
    m_floorTimes.push_back(
        TimeOneRun(m_listView, [this] { SelectAtFloorCost(m_listView, m_folder, m_pattern, m_stateChanges); }));
    return Check(L"(c)");
  }

  SizeResult Result() const {
    SizeResult result;
    result.entries = m_entries;
    result.matching = Matching();
    result.walkPerEntry = Median(m_walkTimes);
    result.walkRuns = static_cast<int>(m_walkTimes.size());
    result.asBuilt = Median(m_asBuiltTimes);
    result.floor = Median(m_floorTimes);
    return result;
  }

 private:
  int Matching() const { return static_cast<int>(m_expected.size()) - 1; }

  int Check(const wchar_t* variant) {
    if (ReadSelectionAndFocus(m_listView) == m_expected) return 0;
    return Fail(std::wstring(variant) + L" leaves another selection or focus than (b) at " +
                std::to_wstring(m_entries) + L" entries");
  }

  const Options& m_options;
  const int m_entries;
  const std::wstring m_path;
  const CWideString m_folder;
  const CWideString m_pattern;
  std::unique_ptr<CPhotoFolder> m_photos;  // outlives the view that shows it
  CFolderWindow m_window;
  HWND m_listView = nullptr;
  std::vector<int> m_stateChanges;
  std::vector<int> m_expected;
  std::vector<double> m_walkTimes;
  std::vector<double> m_asBuiltTimes;
  std::vector<double> m_floorTimes;
};

std::wstring Pad(const std::wstring& text, size_t width) {
  return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}

void PrintTable(const Options& options, const std::vector<SizeResult>& results) {
  Print(L"");
  Print(L"Selecting \"" + std::wstring(kPattern) + L"\" in the platform's folder view; milliseconds, median of " +
        std::to_wstring(options.runs) + L" runs");
  Print(L"  (a) one walk of the list per listed entry");
  Print(L"  (b) the handler's scan as built: one walk, then one look-up per entry");
  Print(L"  (c) floor: one listing, one walk reading each item's name, and the state changes of (b),");
  Print(L"      their items worked out beforehand");
  Print(options.onScreen ? L"The folder window was on the screen."
                         : L"The folder window was hidden: on the screen, Wine's list scrolls each newly focused item "
                           L"into view through the X server, 3 to 10 ms per matching entry for every variant alike, "
                           L"and that noise would drown the differences (see --on-screen).");
  Print(L"");
  Print(L"| entries | matching |      (a) ms |  (b) ms |  (c) ms | (b)/(c) | (a)/(b) |");
  Print(L"|--------:|---------:|------------:|--------:|--------:|--------:|--------:|");
  bool anyOnce = false;
  for (const SizeResult& r : results) {
    const bool once = r.walkRuns == 1 && options.runs > 1;
    anyOnce = anyOnce || once;
    Print(L"| " + Pad(std::to_wstring(r.entries), 7) + L" | " + Pad(std::to_wstring(r.matching), 8) + L" | " +
          Pad(Format(L"%.1f", r.walkPerEntry) + (once ? L"*" : L""), 11) + L" | " +
          Pad(Format(L"%.1f", r.asBuilt), 7) + L" | " + Pad(Format(L"%.1f", r.floor), 7) + L" | " +
          Pad(Format(L"%.2f", r.asBuilt / r.floor), 7) + L" | " + Pad(Format(L"%.0f", r.walkPerEntry / r.asBuilt), 7) +
          L" |");
  }
  if (anyOnce) Print(L"* one run only, after the rounds: at this size (a) takes minutes");

  // The limits the scan is held to: close to the floor at the largest size,
  // and growing no faster than the folder from 5,000 to 20,000 entries.
  const SizeResult* largest = nullptr;
  const SizeResult* quarter = nullptr;
  for (const SizeResult& r : results) {
    if (largest == nullptr || r.entries > largest->entries) largest = &r;
  }
  for (const SizeResult& r : results) {
    if (largest != nullptr && r.entries * 4 == largest->entries) quarter = &r;
  }
  Print(L"");
  if (largest != nullptr) {
    const double ratio = largest->asBuilt / largest->floor;
    Print(L"(b) / (c) at " + std::to_wstring(largest->entries) + L" entries: " + Format(L"%.2f", ratio) +
          (ratio <= 1.5 ? L" (within 1.5)" : L" (ABOVE 1.5)"));
  }
  if (largest != nullptr && quarter != nullptr) {
    const double growth = largest->asBuilt / quarter->asBuilt;
    Print(L"(b) at " + std::to_wstring(largest->entries) + L" / (b) at " + std::to_wstring(quarter->entries) +
          L" entries: " + Format(L"%.2f", growth) + (growth <= 5 ? L" (within 5)" : L" (ABOVE 5)"));
  }
}

int Run(const Options& options) {
  std::vector<std::unique_ptr<CTimedFolder>> folders;
  for (int entries : options.sizes) {
    folders.push_back(std::make_unique<CTimedFolder>(options, entries));
    if (const int failed = folders.back()->Prepare()) return failed;
  }
  // The sizes take turns in every round, so that a change in the machine's
  // load falls on all of them alike.
  Print(L"-- timing " + std::to_wstring(options.runs) + L" rounds");
  for (int round = 0; round < options.runs; ++round) {
    for (const std::unique_ptr<CTimedFolder>& folder : folders) {
      if (folder->WalksEveryRound()) {
        if (const int failed = folder->TimeWalk()) return failed;
      }
      if (const int failed = folder->TimeAsBuiltAndFloor()) return failed;
    }
  }
  std::vector<SizeResult> results;
  for (const std::unique_ptr<CTimedFolder>& folder : folders) {
    if (!folder->WalksEveryRound()) {
      Print(L"-- (a) once at " + std::to_wstring(folder->Result().entries) + L" entries");
      if (const int failed = folder->TimeWalk()) return failed;
    }
    results.push_back(folder->Result());
  }
  Print(L"-- every run of (a), (b) and (c) left the same selection and focus");
  PrintTable(options, results);
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
