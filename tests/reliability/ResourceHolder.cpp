// resource-holder.exe COUNT GO READY RELEASE: another process beside the
// resource figures' test. Once the event GO is set it makes COUNT each of
// windows, menus, GDI objects and kernel handles, sets READY, waits for
// RELEASE and exits. Exit code 0, or 1 when something could not be made.
#include <cwchar>
#include <cstdlib>
#include <vector>

#include "platform/WinApi.h"

int wmain(int count, wchar_t** arguments) {
  if (count != 5) return 2;
  const int objects = std::wcstol(arguments[1], nullptr, 10);
  const HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, arguments[2]);
  const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[3]);
  const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, arguments[4]);
  if (go == nullptr || ready == nullptr || release == nullptr) return 1;
  if (WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 1;

  std::vector<HWND> windows;
  std::vector<HMENU> menus;
  std::vector<HBRUSH> brushes;
  std::vector<HANDLE> events;
  bool made = true;
  for (int i = 0; i < objects; ++i) {
    windows.push_back(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    menus.push_back(CreatePopupMenu());
    brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    made = made && windows.back() && menus.back() && brushes.back() && events.back();
  }
  SetEvent(ready);
  WaitForSingleObject(release, 60000);
  for (HWND window : windows) DestroyWindow(window);
  for (HMENU menu : menus) DestroyMenu(menu);
  for (HBRUSH brush : brushes) DeleteObject(brush);
  for (HANDLE event : events) CloseHandle(event);
  return made ? 0 : 1;
}
