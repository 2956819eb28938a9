// Real windows for tests: window classes registered for one test, plain
// windows of those classes, and a real list control (SysListView32) whose
// items carry shell identifier lists in their parameter, as a folder view's do.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

// A window class of the given name, registered for the life of this object.
class CTestWindowClass {
 public:
  explicit CTestWindowClass(const wchar_t* name) : m_name(name) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    m_registered = RegisterClassExW(&windowClass) != 0;
    EXPECT_TRUE(m_registered) << "cannot register a window class, error " << GetLastError();
  }
  CTestWindowClass(const CTestWindowClass&) = delete;
  CTestWindowClass& operator=(const CTestWindowClass&) = delete;
  ~CTestWindowClass() {
    if (m_registered) UnregisterClassW(m_name.c_str(), GetModuleHandleW(nullptr));
  }

 private:
  std::wstring m_name;
  bool m_registered = false;
};

// A top-level window (hidden) or a child window of an existing class.
inline HWND CreateTestWindow(const wchar_t* className, HWND parent = nullptr) {
  const DWORD style = parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
  const HWND window = CreateWindowExW(0, className, L"", style, 0, 0, 400, 300, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(nullptr, window) << "cannot create a window (is there a display?), error " << GetLastError();
  return window;
}

// A real list control in report view whose items carry absolute identifier
// lists in their parameter. The identifier lists belong to this object.
class CIdListListView {
 public:
  explicit CIdListListView(HWND parent) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    m_window = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                               400, 300, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(nullptr, m_window) << "cannot create a list control, error " << GetLastError();
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 200;
    column.pszText = const_cast<wchar_t*>(L"Name");
    SendMessageW(m_window, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  }
  CIdListListView(const CIdListListView&) = delete;
  CIdListListView& operator=(const CIdListListView&) = delete;
  ~CIdListListView() {
    if (m_window != nullptr) DestroyWindow(m_window);
    for (PIDLIST_ABSOLUTE idList : m_idLists) ILFree(idList);
  }

  HWND Get() const noexcept { return m_window; }

  // An item for a file-system path; its identifier list comes from the shell.
  int AddPath(const std::wstring& path) {
    const PIDLIST_ABSOLUTE idList = ILCreateFromPathW(path.c_str());
    EXPECT_NE(nullptr, idList) << "no identifier list for a path";
    return AddIdList(idList, path);
  }

  // An item whose identifier list (owned from now on) may name anything.
  int AddIdList(PIDLIST_ABSOLUTE idList, const std::wstring& text) {
    if (idList != nullptr) m_idLists.push_back(idList);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(m_window, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = reinterpret_cast<LPARAM>(idList);
    const int index = static_cast<int>(SendMessageW(m_window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_GE(index, 0);
    return index;
  }

  void SetState(int index, UINT state) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = state;
    SendMessageW(m_window, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }

  UINT GetState(int index) const {
    return static_cast<UINT>(
        SendMessageW(m_window, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_FOCUSED));
  }

  // The text of every item whose state has all of `bits`, in list order.
  std::vector<std::wstring> ItemsWith(UINT bits) const {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendMessageW(m_window, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
      if ((GetState(index) & bits) != bits) continue;
      wchar_t text[MAX_PATH] = {};
      LVITEMW item = {};
      item.iSubItem = 0;
      item.pszText = text;
      item.cchTextMax = MAX_PATH;
      SendMessageW(m_window, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  }

 private:
  HWND m_window = nullptr;
  std::vector<PIDLIST_ABSOLUTE> m_idLists;
};

}  // namespace quorvel
