#include "tools/ContextMenuDriver.h"

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "tools/GivenSite.h"

namespace quorvel {

namespace {

constexpr UINT kHelpBufferUnits = 512;

HRESULT Failed(HRESULT result, const std::wstring& step, std::wstring* error) {
  *error = step + L" failed: " + FormatResult(result);
  return FAILED(result) ? result : E_FAIL;
}

void ReadInsertedItem(HMENU menu, RightClickReport* report) {
  report->menuItemCount = GetMenuItemCount(menu);
  wchar_t text[256] = {};
  GetMenuStringW(menu, 0, text, 256, MF_BYPOSITION);
  report->menuText = text;
  report->menuItemId = GetMenuItemID(menu, 0);

  MENUITEMINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_CHECKMARKS;
  BITMAP bitmap = {};
  if (GetMenuItemInfoW(menu, 0, TRUE, &info) && info.hbmpChecked != nullptr &&
      GetObjectW(info.hbmpChecked, sizeof(bitmap), &bitmap) != 0) {
    report->bitmapWidth = bitmap.bmWidth;
    report->bitmapHeight = bitmap.bmHeight;
  }
}

std::wstring ViewRoute(const CFolderViewSite* site, bool passWindow) {
  if (site != nullptr && site->HandedOutBrowser()) return L"browser";
  if (site != nullptr && site->HandedOutView()) return L"view";
  return passWindow ? L"window" : L"none";
}

}  // namespace

HRESULT DriveRightClick(IShellExtInit* handler, CFolderWindow& window, IDataObject* dataObject,
                        RightClickReport* report, std::wstring* error) {
  return DriveRightClick(handler, window, dataObject, RightClickOptions(), report, error);
}

HRESULT DriveRightClick(IShellExtInit* handler, CFolderWindow& window, IDataObject* dataObject,
                        const RightClickOptions& options, RightClickReport* report, std::wstring* error) {
  report->initialize = handler->Initialize(window.GetFolderIdList(), dataObject, nullptr);
  if (FAILED(report->initialize)) return Failed(report->initialize, L"Initialize", error);

  CScopedComPtr<CFolderViewSite> site;
  CGivenSite givenSite;
  if (options.giveSite) {
    site.Reset(new CFolderViewSite(options.siteBrowser != nullptr ? options.siteBrowser : window.GetBrowser(),
                                   options.services));
    const HRESULT result = givenSite.Give(handler, site.Get());
    if (FAILED(result)) return Failed(result, L"SetSite", error);
  }

  CScopedComPtr<IContextMenu> contextMenu;
  HRESULT result = handler->QueryInterface(IID_IContextMenu, contextMenu.ReceiveVoid());
  if (FAILED(result)) return Failed(result, L"QueryInterface for IContextMenu", error);

  // The shell's menu already holds its own items; the handler's goes first.
  CScopedMenu menu(CreatePopupMenu());
  if (!menu.IsValid() || !AppendMenuW(menu.Get(), MF_STRING, kShellItemId, L"P&roperties")) {
    return Failed(HRESULT_FROM_WIN32(GetLastError()), L"CreatePopupMenu", error);
  }
  report->queryContextMenu = contextMenu->QueryContextMenu(menu.Get(), 0, kFirstCommandId, kLastCommandId, CMF_NORMAL);
  if (FAILED(report->queryContextMenu)) return Failed(report->queryContextMenu, L"QueryContextMenu", error);
  if (HRESULT_CODE(report->queryContextMenu) == 0) return Failed(E_FAIL, L"QueryContextMenu added no item;", error);
  ReadInsertedItem(menu.Get(), report);
  if (report->menuItemId < kFirstCommandId || report->menuItemId > kLastCommandId) {
    return Failed(E_FAIL, L"the menu shows no item of the handler at its position;", error);
  }
  const UINT commandOffset = report->menuItemId - kFirstCommandId;
  if (options.showMenu) {
    result = options.showMenu(menu.Get(), error);
    if (FAILED(result)) return result;
  }

  wchar_t helpW[kHelpBufferUnits] = {};
  report->helpTextW =
      contextMenu->GetCommandString(commandOffset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(helpW), kHelpBufferUnits);
  if (FAILED(report->helpTextW)) return Failed(report->helpTextW, L"GetCommandString(GCS_HELPTEXTW)", error);
  report->helpW = helpW;
  char helpA[kHelpBufferUnits] = {};
  report->helpTextA = contextMenu->GetCommandString(commandOffset, GCS_HELPTEXTA, nullptr, helpA, kHelpBufferUnits);
  if (FAILED(report->helpTextA)) return Failed(report->helpTextA, L"GetCommandString(GCS_HELPTEXTA)", error);
  report->helpA = helpA;

  // The user chose the item: the shell hands over its command offset and the
  // folder window.
  CMINVOKECOMMANDINFO invoke = {};
  invoke.cbSize = sizeof(invoke);
  invoke.hwnd = options.passWindow ? window.GetFrame() : nullptr;
  invoke.lpVerb = MAKEINTRESOURCEA(commandOffset);
  invoke.nShow = SW_SHOWNORMAL;
  report->invokeCommand = contextMenu->InvokeCommand(&invoke);
  report->viewRoute = ViewRoute(site.Get(), options.passWindow);
  if (FAILED(report->invokeCommand)) return Failed(report->invokeCommand, L"InvokeCommand", error);
  CFolderWindow::PumpMessages(50);
  return S_OK;
}

}  // namespace quorvel
