// exit-host.exe DLL keep|release: a process that loads a copy of quorvel.dll
// as the shell does, makes a handler and shows its menu item (so that the
// satellite resource library beside the copy is mapped), then exits with the
// library still loaded: with the handler and the class factory still held
// ("keep"), or after releasing them ("release"). Exit code 42 when the menu
// bitmap came from the "LOC" satellite (top left pixel red), 3 when it did
// not, 1 when the handler could not be made; anything else is a fault.
#include <string>

#include "Quorvel.h"
#include "platform/WinApi.h"

namespace {

using GetClassObjectExport = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

COLORREF CornerOf(HBITMAP bitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const COLORREF corner = GetPixel(dc, 0, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  return corner;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
  if (count != 3) return 2;
  const std::wstring mode = arguments[2];
  HMODULE library = LoadLibraryW(arguments[1]);
  if (library == nullptr) return 1;
  auto getClassObject =
      reinterpret_cast<GetClassObjectExport>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (getClassObject == nullptr ||
      getClassObject(CLSID_SelecterMenu, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
    return 1;
  }
  IContextMenu* menu = nullptr;
  if (factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)) != S_OK) return 1;
  HMENU popup = CreatePopupMenu();
  menu->QueryContextMenu(popup, 0, 1, 100, CMF_NORMAL);
  MENUITEMINFOW item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_CHECKMARKS;
  if (!GetMenuItemInfoW(popup, 0, TRUE, &item)) return 1;
  const bool fromSatellite = CornerOf(item.hbmpUnchecked) == RGB(0xFF, 0x00, 0x00);
  if (mode == L"release") {
    DestroyMenu(popup);
    menu->Release();
    factory->Release();
  }
  // Leaving main exits the process with quorvel.dll and its satellite loaded.
  return fromSatellite ? 42 : 3;
}
