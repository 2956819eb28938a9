#include "tools/MenuPicture.h"

#include <vector>

#include "platform/ScopedHandles.h"

namespace quorvel {

namespace {

// The screen's device context, released with its owner.
class CScreenDC {
 public:
  CScreenDC() noexcept : m_dc(GetDC(nullptr)) {}
  CScreenDC(const CScreenDC&) = delete;
  CScreenDC& operator=(const CScreenDC&) = delete;
  ~CScreenDC() {
    if (m_dc != nullptr) ReleaseDC(nullptr, m_dc);
  }
  HDC Get() const noexcept { return m_dc; }

 private:
  HDC m_dc;
};

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

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Writes the screen's `area` as a bottom-up 24-bit .bmp file.
HRESULT SaveScreenArea(const RECT& area, const std::wstring& path, std::wstring* error) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  CScreenDC screen;
  CScopedMemoryDC memoryDC(CreateCompatibleDC(screen.Get()));
  if (screen.Get() == nullptr || !memoryDC.IsValid()) {
    *error = L"no device context for the picture";
    return E_FAIL;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  CScopedBitmap picture(CreateDIBSection(memoryDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!picture.IsValid() || bits == nullptr) {
    *error = L"cannot make the picture's bitmap";
    return E_OUTOFMEMORY;
  }
  const HGDIOBJ previous = SelectObject(memoryDC.Get(), picture.Get());
  const BOOL copied = BitBlt(memoryDC.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY);
  GdiFlush();
  SelectObject(memoryDC.Get(), previous);
  if (!copied) {
    *error = L"cannot copy the screen";
    return LastError();
  }

  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageSize;
  info.bmiHeader.biSizeImage = imageSize;
  CScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
  DWORD written = 0;
  if (!file.IsValid() || !WriteFile(file.Get(), &header, sizeof(header), &written, nullptr) ||
      !WriteFile(file.Get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) ||
      !WriteFile(file.Get(), bits, imageSize, &written, nullptr)) {
    *error = L"cannot write " + path;
    return LastError();
  }
  return S_OK;
}

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
    capture.result = LastError();
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
    return LastError();
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
