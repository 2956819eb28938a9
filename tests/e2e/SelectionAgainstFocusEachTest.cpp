// The handler's way of changing the states (each item selected alone, the
// focus moved once, redrawing suspended) against the former way kept as the
// yardstick (each item selected and focused in turn), on the platform's own
// folder view, on both routes: the same selected items, the same focused
// item and the same first visible row, in a list longer than the window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "shellext/MatchingSelection.h"
#include "tests/support/TempFolder.h"
#include "tools/FocusEachSelection.h"
#include "tools/FolderWindow.h"

namespace quorvel {
namespace {

// Records the WM_SETREDRAW messages the list control receives while it lives.
class CRedrawRecorder {
 public:
  explicit CRedrawRecorder(HWND listView) : m_listView(listView) {
    m_installed = SetWindowSubclass(listView, Record, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    EXPECT_TRUE(m_installed) << "cannot watch the list control";
  }
  CRedrawRecorder(const CRedrawRecorder&) = delete;
  CRedrawRecorder& operator=(const CRedrawRecorder&) = delete;
  ~CRedrawRecorder() {
    if (m_installed) RemoveWindowSubclass(m_listView, Record, kSubclassId);
  }
  const std::vector<bool>& Messages() const noexcept { return m_redraw; }

 private:
  static constexpr UINT_PTR kSubclassId = 0x5EDA;
  static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    if (message == WM_SETREDRAW) reinterpret_cast<CRedrawRecorder*>(self)->m_redraw.push_back(wParam != FALSE);
    return DefSubclassProc(window, message, wParam, lParam);
  }

  HWND m_listView;
  bool m_installed = false;
  std::vector<bool> m_redraw;
};

struct ViewState {
  std::vector<int> selected;
  int focused = -1;
  int top = -1;

  bool operator==(const ViewState& other) const {
    return selected == other.selected && focused == other.focused && top == other.top;
  }
};

void PrintTo(const ViewState& state, std::ostream* os) {
  *os << "{selected";
  for (const int index : state.selected) *os << " " << index;
  *os << "; focused " << state.focused << "; top " << state.top << "}";
}

struct FocusCase {
  const char* what;
  const wchar_t* pattern;
  int startItem;  // selected and focused before the command, and scrolled into view
  size_t selected;
};

void PrintTo(const FocusCase& c, std::ostream* os) { *os << c.what; }

constexpr int kEntries = 64;

class SelectionAgainstFocusEach : public ::testing::TestWithParam<FocusCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    m_oleInitialised = true;
    // In view order: three .txt first, thirty photos with their side files,
    // one .doc last.
    for (const wchar_t* name : {L"A_00.txt", L"A_01.txt", L"A_02.txt", L"M_only.doc"}) m_folder.AddFile(name);
    for (int i = 0; i < 30; ++i) {
      const std::wstring stem = L"IMG_" + std::wstring(i < 10 ? L"0" : L"") + std::to_wstring(i);
      m_folder.AddFile(stem + L".jpg");
      m_folder.AddFile(stem + L".xmp");
    }
    m_window = std::make_unique<CFolderWindow>();
    ASSERT_EQ(S_OK, m_window->Open(m_folder.Path(), 640, 400)) << CTempFolder::Narrow(m_window->GetError());
    m_list = m_window->GetListView();
    ASSERT_EQ(kEntries, SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    ASSERT_LT(SendMessageW(m_list, LVM_GETCOUNTPERPAGE, 0, 0), kEntries / 2) << "the list must be longer than the window";
    ASSERT_EQ(S_OK, m_window->GetView()->QueryInterface(IID_IFolderView, m_view.ReceiveVoid()));
  }
  void TearDown() override {
    m_view.Reset();
    m_window.reset();
    if (m_oleInitialised) OleUninitialize();
  }

  // The state a right-click on the start item leaves, scrolled from the top.
  void Reset(int startItem) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    SendMessageW(m_list, LVM_ENSUREVISIBLE, 0, FALSE);
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(startItem), reinterpret_cast<LPARAM>(&item));
    SendMessageW(m_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(startItem), FALSE);
    CFolderWindow::PumpMessages(20);
  }

  ViewState Read() {
    CFolderWindow::PumpMessages(20);
    ViewState state;
    for (int index = -1;;) {
      index = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
      if (index == -1) break;
      state.selected.push_back(index);
    }
    state.focused = static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    state.top = static_cast<int>(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0));
    return state;
  }

  CWideString Folder() const { return CWideString(AsUtf16((m_folder.Path() + L"\\").c_str())); }

  CTempFolder m_folder;
  std::unique_ptr<CFolderWindow> m_window;
  HWND m_list = nullptr;
  CScopedComPtr<IFolderView> m_view;
  bool m_oleInitialised = false;
};

TEST_P(SelectionAgainstFocusEach, SameSelectionFocusAndFirstVisibleRowOnBothRoutes) {
  const FocusCase& c = GetParam();
  const CWideString pattern(AsUtf16(c.pattern));

  Reset(c.startItem);
  SelectMatchingFilesFocusingEach(m_list, Folder(), pattern);
  const ViewState yardstick = Read();
  EXPECT_EQ(c.selected, yardstick.selected.size());

  Reset(c.startItem);
  {
    CRedrawRecorder redraw(m_list);
    SelectMatchingFiles(m_list, Folder(), pattern);
    EXPECT_EQ((std::vector<bool>{false, true}), redraw.Messages()) << "window route: redrawing off, then on again";
  }
  EXPECT_EQ(yardstick, Read()) << "window route";

  Reset(c.startItem);
  ASSERT_TRUE(SelectMatchingViewItemsFocusingEach(m_view.Get(), Folder(), pattern));
  EXPECT_EQ(yardstick, Read()) << "the yardstick on the view route";

  Reset(c.startItem);
  {
    CRedrawRecorder redraw(m_list);
    ASSERT_TRUE(SelectMatchingViewItems(m_view.Get(), Folder(), pattern));
    EXPECT_EQ((std::vector<bool>{false, true}), redraw.Messages()) << "view route: redrawing off, then on again";
  }
  EXPECT_EQ(yardstick, Read()) << "view route";
  EXPECT_TRUE(IsWindowVisible(m_list));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionAgainstFocusEach,
    ::testing::Values(
        // Every other item from the top down to the 61st: the list scrolls.
        FocusCase{"MatchesSpreadThroughALongList", L"*.jpg", 0, 30},
        // Scrolled to the end; the three matches lie above the first visible row.
        FocusCase{"LastMatchAboveTheFirstVisibleRow", L"*.txt", kEntries - 1, 3},
        FocusCase{"OneMatchBelowTheWindow", L"*.doc", 0, 1},
        FocusCase{"NoMatch", L"*.zip", 5, 0}),
    [](const ::testing::TestParamInfo<FocusCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace quorvel
