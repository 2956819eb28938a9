// The handler's folder scan, which reads the list once, against the walk of
// the whole list per listed entry, on the platform's own folder view of a
// folder whose names differ only in letter case: both must change the same
// items in the same order and leave the same selection and focus.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScopedHandles.h"
#include "shellext/MatchingSelection.h"
#include "tests/support/StateChangeRecorder.h"
#include "tests/support/TempFolder.h"
#include "tools/FolderWindow.h"
#include "tools/WalkPerEntrySelection.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;

std::wstring FromUtf8(const char* text) {
  const int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], units);
  wide.resize(wide.size() - 1);
  return wide;
}

// The folder's path on the Unix side of Wine, or empty outside Wine.
std::wstring UnixPathOf(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto unixFileName = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixFileName == nullptr) return std::wstring();
  char* unixPath = unixFileName(path.c_str());
  if (unixPath == nullptr) return std::wstring();
  const std::wstring wide = FromUtf8(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return wide;
}

// Makes entries of `folder` with the Unix program `program` (touch, mkdir).
// Wine's own file calls find a name whatever its letter case, so they cannot
// add "A.txt" beside "a.txt"; a Unix program can, and Wine runs one when asked
// to start it. It runs on its own, so the folder is watched until the entries
// are listed.
void MakeEntriesOnUnixSide(const CTempFolder& folder, const wchar_t* program, const StringList& names) {
  const std::wstring unixFolder = UnixPathOf(folder.Path());
  ASSERT_FALSE(unixFolder.empty()) << "these tests run under Wine";
  std::wstring commandLine = program;
  for (const std::wstring& name : names) commandLine += L" \"" + unixFolder + L"/" + name + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const std::wstring application = std::wstring(L"Z:") + program;
  ASSERT_TRUE(CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process))
      << "cannot start " << CTempFolder::Narrow(program) << ", error " << GetLastError();
  CScopedFileHandle processHandle(process.hProcess);
  CScopedFileHandle threadHandle(process.hThread);

  const DWORD start = GetTickCount();
  for (;;) {
    const StringList listed = folder.List(L"*");
    const bool all = std::all_of(names.begin(), names.end(), [&](const std::wstring& name) {
      return std::find(listed.begin(), listed.end(), name) != listed.end();
    });
    if (all) return;
    ASSERT_LT(GetTickCount() - start, 10000u) << CTempFolder::Narrow(program) << " made no entries";
    Sleep(20);
  }
}

struct ScanCase {
  const char* what;
  const wchar_t* pattern;
  StringList selected;  // sorted
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.what; }

// What one scan did: its state changes, and the view's selection and focus.
struct ScanOutcome {
  std::vector<StateChange> changes;
  StringList selected;  // sorted
  StringList focused;
};

class ScanAgainstWalk : public ::testing::TestWithParam<ScanCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    for (const wchar_t* name :
         {L"a.txt", L"Report.txt", L"b.TXT", L"c.doc", L"page.html", L"notes.txt.bak", L"x.htm", L".secret.txt"}) {
      m_folder.AddFile(name);
    }
    m_folder.AddFolder(L"old.txt");
    MakeEntriesOnUnixSide(m_folder, L"/usr/bin/touch", {L"A.txt", L"A.TXT", L"report.txt", L"X.HTM"});
    MakeEntriesOnUnixSide(m_folder, L"/bin/mkdir", {L"OLD.txt"});
    m_window = std::make_unique<CFolderWindow>();
    ASSERT_EQ(S_OK, m_window->Open(m_folder.Path(), 640, 400)) << CTempFolder::Narrow(m_window->GetError());
  }
  void TearDown() override {
    m_window.reset();
    if (m_oleInitialised) OleUninitialize();
  }

  // Runs one scan from the state a right-click on c.doc leaves.
  ScanOutcome Scan(void (*scan)(HWND, const CWideString&, const CWideString&), const wchar_t* pattern) {
    ScanOutcome outcome;
    EXPECT_EQ(S_OK, m_window->SelectEntries({L"c.doc"}, false)) << CTempFolder::Narrow(m_window->GetError());
    {
      CStateChangeRecorder recorder(m_window->GetListView());
      scan(m_window->GetListView(), CWideString(AsUtf16((m_folder.Path() + L"\\").c_str())),
           CWideString(AsUtf16(pattern)));
      outcome.changes = recorder.Changes();
    }
    std::vector<CFolderWindow::ItemState> states;
    EXPECT_EQ(S_OK, m_window->ReadItemStates(&states)) << CTempFolder::Narrow(m_window->GetError());
    for (const CFolderWindow::ItemState& state : states) {
      if (state.selected) outcome.selected.push_back(state.name);
      if (state.focused) outcome.focused.push_back(state.name);
    }
    std::sort(outcome.selected.begin(), outcome.selected.end());
    return outcome;
  }

  CTempFolder m_folder;
  std::unique_ptr<CFolderWindow> m_window;
  bool m_oleInitialised = false;
};

TEST_P(ScanAgainstWalk, SameStateChangesSelectionAndFocus) {
  const ScanCase& c = GetParam();
  // Every entry but the dot file is in the view, the case twins included.
  ASSERT_EQ(13, SendMessageW(m_window->GetListView(), LVM_GETITEMCOUNT, 0, 0));

  const ScanOutcome walk = Scan(SelectMatchingFilesWalkPerEntry, c.pattern);
  const ScanOutcome scan = Scan(SelectMatchingFiles, c.pattern);

  EXPECT_EQ(SelectingThenFocusing(walk.changes), scan.changes);
  EXPECT_EQ(walk.selected, scan.selected);
  EXPECT_EQ(walk.focused, scan.focused);

  // And both did what the command is for: the clear, then one change per
  // selected entry, the last one in listing order keeping the focus.
  EXPECT_EQ(c.selected, scan.selected);
  ASSERT_EQ(c.selected.size() + 1, walk.changes.size());
  EXPECT_EQ((StateChange{-1, 0, LVIS_SELECTED}), scan.changes.front());
  StringList focused = {L"c.doc"};
  for (const std::wstring& name : m_folder.List(c.pattern)) {
    if (std::find(c.selected.begin(), c.selected.end(), name) != c.selected.end()) focused = {name};
  }
  EXPECT_EQ(focused, scan.focused);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanAgainstWalk,
    ::testing::Values(
        // Names that differ only in letter case are items of their own; both
        // folders match; the dot file is listed but not shown.
        ScanCase{"Txt",
                 L"*.txt",
                 {L"A.TXT", L"A.txt", L"OLD.txt", L"Report.txt", L"a.txt", L"b.TXT", L"old.txt", L"report.txt"}},
        ScanCase{"TxtInCapitals",
                 L"*.TXT",
                 {L"A.TXT", L"A.txt", L"OLD.txt", L"Report.txt", L"a.txt", L"b.TXT", L"old.txt", L"report.txt"}},
        // page.html is listed by its short-name alias only.
        ScanCase{"Htm", L"*.htm", {L"X.HTM", L"x.htm"}},
        ScanCase{"NothingMatches", L"*.zip", {}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace quorvel
