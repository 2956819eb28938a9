// What the end-to-end tests read back from a folder window and from the
// objects they hand a handler or a command, and the sample folder windows
// that the route tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinApi.h"
#include "tests/support/TempFolder.h"
#include "tools/BatchingFolderView.h"
#include "tools/FolderWindow.h"

namespace quorvel {

// The names of the window's entries whose `bit` is set, sorted.
inline std::vector<std::wstring> Named(CFolderWindow& window, bool CFolderWindow::ItemState::*bit) {
  std::vector<CFolderWindow::ItemState> states;
  EXPECT_EQ(S_OK, window.ReadItemStates(&states)) << CTempFolder::Narrow(window.GetError());
  std::vector<std::wstring> names;
  for (const CFolderWindow::ItemState& state : states) {
    if (state.*bit) names.push_back(state.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The command read a batching view in one batch at any size: no call per
// item, and as many calls in all at each of the growing sizes as at the
// first (`callsAtFirstSize`, negative until then). `entries` names the size.
inline void ExpectCallsInOneBatch(const CBatchingFolderView& view, int entries, long* callsAtFirstSize) {
  const auto& calls = view.Calls();
  EXPECT_EQ(0u, calls.count("Item")) << entries;
  EXPECT_EQ(1, calls.at("Items")) << entries;
  EXPECT_EQ(1, calls.at("IEnumIDList::Next")) << entries;
  EXPECT_EQ(1, calls.at("SelectAndPositionItems")) << entries;
  if (*callsAtFirstSize < 0) {
    *callsAtFirstSize = view.TotalCalls();
  } else {
    EXPECT_EQ(*callsAtFirstSize, view.TotalCalls()) << "calls on the view grew with the folder, at " << entries;
  }
}

// References held on `object` by others than the caller.
inline ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// A folder of a.txt, b.TXT, c.doc, page.html, x.htm, notes.txt_old and the
// folder old.txt, shown in a folder window, OLE initialised for the test.
// notes.txt_old is listed for *.txt, and page.html for *.htm, by their
// short-name aliases only.
template <class Case>
class SampleFolderWindowTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"page.html", L"x.htm", L"notes.txt_old"}) {
      m_folder.AddFile(name);
    }
    m_folder.AddFolder(L"old.txt");
    m_window = std::make_unique<CFolderWindow>();
    ASSERT_EQ(S_OK, m_window->Open(m_folder.Path(), 640, 400)) << CTempFolder::Narrow(m_window->GetError());
  }
  void TearDown() override {
    m_window.reset();
    if (m_oleInitialised) OleUninitialize();
  }

  // c.doc selected and focused, and the clicked entries selected too where
  // they still exist, as the user's right-click leaves them.
  void SelectAsClicked(const std::vector<std::wstring>& clicked, bool clickedExist) {
    EXPECT_EQ(S_OK, m_window->SelectEntries({L"c.doc"}, false)) << CTempFolder::Narrow(m_window->GetError());
    if (clickedExist) {
      EXPECT_EQ(S_OK, m_window->SelectEntries(clicked, true));
    }
  }

  CTempFolder m_folder;
  std::unique_ptr<CFolderWindow> m_window;
  bool m_oleInitialised = false;
};

// The clicked folder (a.txt, c.doc) and another folder (a.txt, z.txt, y.doc),
// each open in a folder window: for a site that leads to the other's view.
// Open() reports its failures through gtest: call it in
// ASSERT_NO_FATAL_FAILURE.
struct ClickedAndOtherFolderWindows {
  void Open() {
    for (const wchar_t* name : {L"a.txt", L"c.doc"}) clickedFolder.AddFile(name);
    for (const wchar_t* name : {L"a.txt", L"z.txt", L"y.doc"}) otherFolder.AddFile(name);
    ASSERT_EQ(S_OK, clicked.Open(clickedFolder.Path(), 640, 400)) << CTempFolder::Narrow(clicked.GetError());
    ASSERT_EQ(S_OK, other.Open(otherFolder.Path(), 640, 400)) << CTempFolder::Narrow(other.GetError());
  }

  CTempFolder clickedFolder;
  CTempFolder otherFolder;
  CFolderWindow clicked;
  CFolderWindow other;
};

}  // namespace quorvel
