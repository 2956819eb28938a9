// The folder scan on a real folder and a real list control: which entries
// end up selected and which one holds the focus.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shellext/MatchingSelection.h"
#include "tests/support/StateChangeRecorder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindows.h"
#include "tools/ItemByName.h"
#include "tools/WalkPerEntrySelection.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;

struct ScanCase {
  const char* what;
  const wchar_t* pattern;
  StringList selected;        // in view order
  const wchar_t* focused;     // null: the last selected entry in listing order
  StringList listedButPassed; // entries the platform lists for the pattern that must stay unselected
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.what; }

// a.txt, b.TXT, c.doc, a folder old.txt, page.html, test.log_1, x.htm in the
// view; hidden.txt in the folder but not in the view. c.doc starts selected
// and focused.
class FolderScan : public ::testing::TestWithParam<ScanCase> {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"page.html", L"test.log_1", L"x.htm"}) {
      m_folder.AddFile(name);
      m_shown.push_back(name);
    }
    m_folder.AddFolder(L"old.txt");
    m_shown.push_back(L"old.txt");
    m_folder.AddFile(L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    for (const std::wstring& name : m_shown) m_list.AddPath(m_folder.PathOf(name));
    m_list.SetState(2, LVIS_SELECTED | LVIS_FOCUSED);
  }

  StringList NamesWith(UINT bits) const {
    StringList names;
    for (const std::wstring& path : m_list.ItemsWith(bits)) names.push_back(path.substr(path.rfind(L'\\') + 1));
    return names;
  }

  CTempFolder m_folder;
  StringList m_shown;
  CTestWindowClass m_frameClass{L"QuorvelTestFrame"};
  CScopedWindow m_frame{CreateTestWindow(L"QuorvelTestFrame")};
  CIdListListView m_list{m_frame.Get()};
};

TEST_P(FolderScan, SelectsExactlyTheEntriesWhoseNamesEndWithTheExtension) {
  const ScanCase& c = GetParam();
  // The platform's listing also delivers entries by their short-name alias.
  const StringList listed = m_folder.List(c.pattern);
  for (const std::wstring& name : c.listedButPassed) {
    ASSERT_NE(listed.end(), std::find(listed.begin(), listed.end(), name))
        << "precondition: the listing delivers " << CTempFolder::Narrow(name);
  }

  SelectMatchingFiles(m_list.Get(), CWideString(AsUtf16((m_folder.Path() + L"\\").c_str())),
                                     CWideString(AsUtf16(c.pattern)));

  EXPECT_EQ(c.selected, NamesWith(LVIS_SELECTED));
  std::wstring focused = c.focused != nullptr ? c.focused : L"";
  if (c.focused == nullptr) {
    for (const std::wstring& name : listed) {
      if (std::find(c.selected.begin(), c.selected.end(), name) != c.selected.end()) focused = name;
    }
  }
  EXPECT_EQ(StringList{focused}, NamesWith(LVIS_FOCUSED));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderScan,
    ::testing::Values(
        // Folders and every letter case match; hidden.txt is not in the view.
        ScanCase{"Txt", L"*.txt", {L"a.txt", L"b.TXT", L"old.txt"}, nullptr, {L"hidden.txt"}},
        ScanCase{"TxtInCapitals", L"*.TXT", {L"a.txt", L"b.TXT", L"old.txt"}, nullptr, {}},
        // page.html is listed for *.htm by its alias, test.log_1 for *.log.
        ScanCase{"HtmNotHtml", L"*.htm", {L"x.htm"}, nullptr, {L"page.html"}},
        ScanCase{"OnlyAnAliasMatches", L"*.log", {}, L"c.doc", {L"test.log_1"}},
        // Nothing matches: the selection is cleared, the focus not touched.
        ScanCase{"NoMatch", L"*.zip", {}, L"c.doc", {}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.what); });

TEST_F(FolderScan, AFolderThatCannotBeListedLeavesNothingSelected) {
  SelectMatchingFiles(m_list.Get(), CWideString(AsUtf16((m_folder.Path() + L"\\gone\\").c_str())),
                                     CWideString(u"*.txt"));
  EXPECT_EQ(StringList{}, NamesWith(LVIS_SELECTED));
}

TEST_F(FolderScan, SelectItemByNameSelectsAndFocusesOnlyAShownEntry) {
  SelectItemByName(m_list.Get(), CWideString(u"hidden.txt"));
  SelectItemByName(m_list.Get(), CWideString(u"A.TXT"));
  EXPECT_EQ(StringList{L"c.doc"}, NamesWith(LVIS_SELECTED | LVIS_FOCUSED));
  SelectItemByName(m_list.Get(), CWideString(u"x.htm"));
  EXPECT_EQ((StringList{L"c.doc", L"x.htm"}), NamesWith(LVIS_SELECTED));
  EXPECT_EQ(StringList{L"x.htm"}, NamesWith(LVIS_FOCUSED));
}

// The scan reads the list once, where the walk per entry reads it again for
// every listed entry. Items that name no file, a name shown by two items (the
// first one counts) and an item whose file name is empty must come out the
// same: the same items changed in the same order, selection and focus.
TEST(FolderScanAgainstWalk, ItemsWithoutFilesAndNamesShownTwice) {
  CTempFolder folder;
  for (const wchar_t* name : {L"a.txt", L"b.txt", L".txt", L"c.txt"}) folder.AddFile(name);
  CTempFolder other;
  for (const wchar_t* name : {L"a.txt", L"b.txt"}) other.AddFile(name);
  CTestWindowClass frameClass(L"QuorvelTestFrame");
  CScopedWindow frame(CreateTestWindow(L"QuorvelTestFrame"));
  CIdListListView list(frame.Get());
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
  list.AddIdList(computer, L"Computer");  // no file-system path
  list.AddIdList(nullptr, L"no identifier list");
  list.AddPath(other.PathOf(L"a.txt"));   // shows a.txt before the folder's own item
  list.AddPath(folder.PathOf(L"b.txt"));
  list.AddPath(folder.PathOf(L".txt"));   // its file name is empty
  list.AddPath(folder.PathOf(L"a.txt"));
  list.AddPath(other.PathOf(L"b.txt"));   // b.txt again, after the first
  // c.txt is listed but not shown.

  using Scan = void (*)(HWND, const CWideString&, const CWideString&);
  struct Outcome {
    std::vector<StateChange> changes;
    StringList selected;
    StringList focused;
  };
  const auto run = [&](Scan scan) {
    list.SetState(-1, 0);
    list.SetState(0, LVIS_SELECTED | LVIS_FOCUSED);
    Outcome outcome;
    {
      CStateChangeRecorder recorder(list.Get());
      scan(list.Get(), CWideString(AsUtf16((folder.Path() + L"\\").c_str())), CWideString(u"*.txt"));
      outcome.changes = recorder.Changes();
    }
    outcome.selected = list.ItemsWith(LVIS_SELECTED);
    outcome.focused = list.ItemsWith(LVIS_FOCUSED);
    return outcome;
  };
  const Outcome walk = run(SelectMatchingFilesWalkPerEntry);
  const Outcome scan = run(SelectMatchingFiles);

  EXPECT_EQ(SelectingThenFocusing(walk.changes), scan.changes);
  EXPECT_EQ(walk.selected, scan.selected);
  EXPECT_EQ(walk.focused, scan.focused);
  EXPECT_EQ((StringList{other.PathOf(L"a.txt"), folder.PathOf(L"b.txt")}), scan.selected);
  EXPECT_EQ(3u, walk.changes.size()) << "the clear, then a.txt and b.txt";
}

}  // namespace
}  // namespace quorvel
