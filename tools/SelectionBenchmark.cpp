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
// All three run in this one process on the same folder view, interleaved, so
// the ratios (b)/(c) and (a)/(b) hold even on a busy machine. Each run starts
// from the same state (the first item alone selected and focused, as after a
// right-click on it), and each must leave the selection and focus that (b)
// leaves.
//
//   selection-benchmark.exe [--runs N] [--sizes A,B,...] [--walk-once-from N] [--on-screen] WORKFOLDER
//
// The folders are made in WORKFOLDER and removed afterwards. Exit code 0 when
// the timings ran and the variants agreed; 1 on a failure or disagreement; 2
// on bad usage.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/Failure.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "shellext/FolderListing.h"
#include "shellext/ItemNameIndex.h"
#include "shellext/SelecterMenu.h"
#include "tools/FolderWindow.h"
#include "tools/WalkPerEntrySelection.h"

namespace quorvel {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: selection-benchmark.exe [--runs N] [--sizes A,B,...] [--walk-once-from N] [--on-screen] WORKFOLDER\n"
    L"  WORKFOLDER          where the folders of entries are made (and removed afterwards)\n"
    L"  --runs N            timed runs of each variant per folder; the median is shown (default 5)\n"
    L"  --sizes A,B,...     entries per folder (default 1000,5000,20000)\n"
    L"  --walk-once-from N  from this many entries on, (a) runs once (default 20000)\n"
    L"  --on-screen         keep the folder window on the screen while timing\n";

constexpr wchar_t kPattern[] = L"*.jpg";
constexpr DWORD kPopulateTimeout = 600000;  // a view of 20,000 entries takes a while under Wine

struct Options {
  std::wstring workFolder;
  int runs = 5;
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

void Write(FILE* stream, const std::wstring& text) {
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), stream);
  fflush(stream);
}

void Print(const std::wstring& line) { Write(stdout, line + L"\n"); }

int Fail(const std::wstring& message) {
  Write(stderr, L"selection-benchmark: error: " + message + L"\n");
  return 1;
}

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
// half of the entries match the pattern. Removed with its entries.
class CPhotoFolder {
 public:
  CPhotoFolder(const std::wstring& path, int entries) : m_path(path) {
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
      m_error = L"cannot create " + path;
      return;
    }
    m_created = true;
    for (int i = 0; i < entries; ++i) {
      wchar_t name[32];
      swprintf(name, 32, L"IMG_%05d.%ls", i / 2, i % 2 == 0 ? L"jpg" : L"xmp");
      CScopedFileHandle file(CreateFileW((path + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.IsValid()) {
        m_error = L"cannot create " + path + L"\\" + name;
        return;
      }
      m_names.push_back(name);
    }
  }
  CPhotoFolder(const CPhotoFolder&) = delete;
  CPhotoFolder& operator=(const CPhotoFolder&) = delete;
  ~CPhotoFolder() {
    for (const std::wstring& name : m_names) DeleteFileW((m_path + L"\\" + name).c_str());
    if (m_created) RemoveDirectoryW(m_path.c_str());
  }

  const std::wstring& GetError() const noexcept { return m_error; }

 private:
  std::wstring m_path;
  std::vector<std::wstring> m_names;
  bool m_created = false;
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

int MeasureSize(const Options& options, int entries, SizeResult* result) {
  const std::wstring path = options.workFolder + L"\\entries-" + std::to_wstring(entries);
  Print(L"-- " + std::to_wstring(entries) + L" entries: making the folder and opening the view");
  CPhotoFolder photos(path, entries);
  if (!photos.GetError().empty()) return Fail(photos.GetError());

  CFolderWindow window;
  if (FAILED(window.Open(path, 720, 480, kPopulateTimeout))) return Fail(window.GetError());
  const HWND listView = window.GetListView();
  const int shown = GetItemCount(listView);
  if (shown != entries) return Fail(L"the view shows " + std::to_wstring(shown) + L" items");
  if (!options.onScreen) ShowWindow(window.GetFrame(), SW_HIDE);

  const CWideString folder(AsUtf16((path + L"\\").c_str()));
  const CWideString pattern(AsUtf16(kPattern));
  result->entries = entries;

  const std::function<void()> walkPerEntry = [&] { SelectMatchingFilesWalkPerEntry(listView, folder, pattern); };
  const std::function<void()> asBuilt = [&] { CSelecterMenu::SelectMatchingFiles(listView, folder, pattern); };
  const std::vector<int> stateChanges = ItemsOfListedEntries(listView, folder, pattern);
  const std::function<void()> floor = [&] { SelectAtFloorCost(listView, folder, pattern, stateChanges); };

  // Every variant must leave what (b) leaves; (a) is checked on each run.
  TimeOneRun(listView, asBuilt);
  const std::vector<int> expected = ReadSelectionAndFocus(listView);
  result->matching = static_cast<int>(expected.size()) - 1;
  if (result->matching != entries / 2) {
    return Fail(L"the scan selected " + std::to_wstring(result->matching) + L" items, not " +
                std::to_wstring(entries / 2));
  }
  TimeOneRun(listView, floor);
  if (ReadSelectionAndFocus(listView) != expected) return Fail(L"the floor leaves another selection or focus");

  const bool walkOnce = entries >= options.walkOnceFrom;
  result->walkRuns = walkOnce ? 1 : options.runs;
  std::vector<double> walkTimes;
  std::vector<double> asBuiltTimes;
  std::vector<double> floorTimes;
  for (int run = 0; run < options.runs; ++run) {
    if (run < result->walkRuns) {
      if (walkOnce) Print(L"   (a) runs once at this size; it takes minutes");
      walkTimes.push_back(TimeOneRun(listView, walkPerEntry));
      if (ReadSelectionAndFocus(listView) != expected) {
        return Fail(L"(a) and (b) leave different selections or focus at " + std::to_wstring(entries) + L" entries");
      }
    }
    asBuiltTimes.push_back(TimeOneRun(listView, asBuilt));
    if (ReadSelectionAndFocus(listView) != expected) return Fail(L"(b) changed its result between runs");
    floorTimes.push_back(TimeOneRun(listView, floor));
  }
  result->walkPerEntry = Median(walkTimes);
  result->asBuilt = Median(asBuiltTimes);
  result->floor = Median(floorTimes);
  Print(L"   done: (a) and (b) select the same " + std::to_wstring(result->matching) +
        L" items and focus the same one");
  return 0;
}

std::wstring Pad(const std::wstring& text, size_t width) {
  return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}

void PrintTable(const Options& options, const std::vector<SizeResult>& results) {
  Print(L"");
  Print(L"Selecting \"" + std::wstring(kPattern) + L"\" in the platform's folder view; milliseconds, median of " +
        std::to_wstring(options.runs) + L" runs");
  Print(L"  (a) one walk of the list per listed entry");
  Print(L"  (b) the handler's scan as built: one walk, then one look-up per entry");
  Print(L"  (c) floor: one listing, one walk reading each item's name, one state change per match");
  Print(options.onScreen ? L"The folder window was on the screen."
                         : L"The folder window was hidden: on the screen, Wine's list scrolls each newly focused item "
                           L"into view through the X server, about 10 ms per matching entry for every variant, "
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
  if (anyOnce) Print(L"* one run only: at this size (a) takes minutes");

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
  std::vector<SizeResult> results;
  for (int entries : options.sizes) {
    SizeResult result;
    const int failed = MeasureSize(options, entries, &result);
    if (failed != 0) return failed;
    results.push_back(result);
  }
  PrintTable(options, results);
  return 0;
}

// OleInitialize for the life of the program.
class COleSession {
 public:
  COleSession() noexcept : m_result(OleInitialize(nullptr)) {}
  COleSession(const COleSession&) = delete;
  COleSession& operator=(const COleSession&) = delete;
  ~COleSession() {
    if (SUCCEEDED(m_result)) OleUninitialize();
  }
  HRESULT Result() const noexcept { return m_result; }

 private:
  HRESULT m_result;
};

}  // namespace
}  // namespace quorvel

int main() {
  using namespace quorvel;
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return Fail(L"cannot read the command line");
  Options options;
  const bool parsed = ParseOptions(count, arguments, &options);
  LocalFree(arguments);
  if (!parsed) {
    Write(stderr, kUsage);
    return 2;
  }

  COleSession ole;
  if (FAILED(ole.Result())) return Fail(L"OleInitialize failed: " + FormatResult(ole.Result()));
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    return Run(options);
  } catch (const std::exception&) {
    return Fail(L"unexpected failure");
  } catch (const CFailure& failure) {
    return Fail(L"unexpected failure: " + FormatResult(failure.Code()));
  }
}
