#include "tools/RepaintTiming.h"

#include <algorithm>

namespace quorvel {

namespace {

void SetState(HWND listView, int index, UINT state, UINT mask) {
  LVITEMW item = {};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

double TimeUntilRepainted(CFolderWindow& window, bool hidden, const std::function<void()>& run) {
  const HWND listView = window.GetListView();
  SetState(listView, -1, 0, LVIS_SELECTED);
  SetState(listView, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageW(listView, LVM_ENSUREVISIBLE, 0, FALSE);
  if (!hidden) SetWindowPos(window.GetFrame(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Whatever the reset and the window coming to the front left to paint is
  // painted before the timing starts, so that no run pays for it.
  CFolderWindow::PumpMessages(20);
  RedrawWindow(window.GetFrame(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  CFolderWindow::PumpMessages(20);
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  run();
  RedrawWindow(window.GetFrame(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  QueryPerformanceCounter(&end);
  const double milliseconds =
      static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
  CFolderWindow::PumpMessages(20);
  return milliseconds;
}

std::vector<int> ReadSelectionOutcome(HWND listView) {
  std::vector<int> indexes;
  int index = -1;
  for (;;) {
    index = static_cast<int>(SendMessageW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
    if (index == -1) break;
    indexes.push_back(index);
  }
  indexes.push_back(static_cast<int>(SendMessageW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
  indexes.push_back(static_cast<int>(SendMessageW(listView, LVM_GETTOPINDEX, 0, 0)));
  return indexes;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace quorvel
