#include "tools/MenuPicture.h"

#include "base/ResultCode.h"
#include "tools/ScreenPicture.h"

namespace quorvel {

namespace {

// What the timer inside the menu's own message loop has to do and found.
struct Capture {
  HWND owner = nullptr;
  std::wstring path;
  HRESULT result = E_FAIL;
  std::wstring error;
  int ticks = 0;
};
Capture* g_capture = nullptr;  // the menu loop runs on this thread alone
constexpr UINT_PTR kTimerId = 0x51A7;
constexpr int kTicksBeforePicture = 3;  // lets the menu paint itself first

// EnumThreadWindows callback: stops at the visible popup menu window (class
// "#32768") and stores it. A named CALLBACK function: a lambda does not
// convert to the stdcall callback of 32-bit Windows.
BOOL CALLBACK FindMenuWindowProc(HWND window, LPARAM result) {
  wchar_t name[16] = {};
  if (IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 && lstrcmpW(name, L"#32768") == 0) {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

// The open popup menu's window on this thread, or null.
HWND FindMenuWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMenuWindowProc, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs inside the menu's modal loop: once the menu has painted, pictures
// the window with the menu and closes the menu.
void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  Capture& capture = *g_capture;
  if (++capture.ticks < kTicksBeforePicture) return;
  KillTimer(capture.owner, kTimerId);
  RECT area = {};
  RECT menuRect = {};
  const HWND menuWindow = FindMenuWindow();
  if (menuWindow == nullptr || !GetWindowRect(menuWindow, &menuRect)) {
    capture.error = L"the popup menu did not open";
  } else if (GetWindowRect(capture.owner, &area)) {
    UnionRect(&area, &area, &menuRect);
    capture.result = SaveScreenArea(area, capture.path, &capture.error);
  } else {
    capture.error = L"no window to picture";
    capture.result = ResultFromLastError();
  }
  EndMenu();
}

}  // namespace

HRESULT SaveOpenMenuPicture(HWND owner, HMENU menu, POINT at, const std::wstring& path, std::wstring* error) {
  Capture capture;
  capture.owner = owner;
  capture.path = path;
  g_capture = &capture;
  if (SetTimer(owner, kTimerId, 100, OnTimer) == 0) {
    g_capture = nullptr;
    *error = L"cannot start the menu's timer";
    return ResultFromLastError();
  }
  // As the shell opens a context menu: owned by the folder window, which must
  // be the foreground window for the menu to close when it is left.
  SetForegroundWindow(owner);
  TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, owner, nullptr);
  KillTimer(owner, kTimerId);
  g_capture = nullptr;
  if (capture.ticks < kTicksBeforePicture && capture.error.empty()) capture.error = L"the popup menu closed too early";
  if (FAILED(capture.result) || !capture.error.empty()) {
    *error = capture.error;
    return FAILED(capture.result) ? capture.result : E_FAIL;
  }
  return S_OK;
}

}  // namespace quorvel
