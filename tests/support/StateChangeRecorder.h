// CStateChangeRecorder: records every LVM_SETITEMSTATE that a list control
// receives while this object lives, then lets the control handle it as usual.
// Must live on the thread that owns the list control.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/WinApi.h"

namespace quorvel {

struct StateChange {
  int index;  // -1: every item
  UINT state;
  UINT stateMask;

  bool operator==(const StateChange& other) const noexcept {
    return index == other.index && state == other.state && stateMask == other.stateMask;
  }
};

inline void PrintTo(const StateChange& change, std::ostream* os) {
  *os << "{" << change.index << ", state " << change.state << ", mask " << change.stateMask << "}";
}

class CStateChangeRecorder {
 public:
  explicit CStateChangeRecorder(HWND listView) : m_listView(listView) {
    m_installed = SetWindowSubclass(listView, Record, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    EXPECT_TRUE(m_installed) << "cannot watch the list control";
  }
  CStateChangeRecorder(const CStateChangeRecorder&) = delete;
  CStateChangeRecorder& operator=(const CStateChangeRecorder&) = delete;
  ~CStateChangeRecorder() {
    if (m_installed) RemoveWindowSubclass(m_listView, Record, kSubclassId);
  }

  const std::vector<StateChange>& Changes() const noexcept { return m_changes; }

 private:
  static constexpr UINT_PTR kSubclassId = 0x51A7E;

  static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    if (message == LVM_SETITEMSTATE && lParam != 0) {
      const LVITEMW* item = reinterpret_cast<const LVITEMW*>(lParam);
      reinterpret_cast<CStateChangeRecorder*>(self)->m_changes.push_back(
          {static_cast<int>(wParam), item->state, item->stateMask});
    }
    return DefSubclassProc(window, message, wParam, lParam);
  }

  HWND m_listView;
  bool m_installed = false;
  std::vector<StateChange> m_changes;
};

// The changes the scan makes for the items that `focusingEach` selected and
// focused in turn after its first change (the clear): the same clear, each
// item selected alone in the same order, then the focus on the first and on
// the last item.
inline std::vector<StateChange> SelectingThenFocusing(const std::vector<StateChange>& focusingEach) {
  std::vector<StateChange> changes;
  if (focusingEach.empty()) return changes;
  changes.push_back(focusingEach.front());
  for (size_t i = 1; i < focusingEach.size(); ++i) changes.push_back({focusingEach[i].index, LVIS_SELECTED, LVIS_SELECTED});
  const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
  if (focusingEach.size() > 2) changes.push_back({focusingEach[1].index, both, both});
  if (focusingEach.size() > 1) changes.push_back({focusingEach.back().index, both, both});
  return changes;
}

}  // namespace quorvel
