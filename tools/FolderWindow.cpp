#include "tools/FolderWindow.h"

#include <algorithm>
#include <cstdio>

#include "base/ResultCode.h"
#include "tools/ScreenPicture.h"

namespace quorvel {

namespace {

constexpr wchar_t kFrameClass[] = L"QuorvelFolderWindow";

HRESULT RegisterFrameClass() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kFrameClass;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  return S_OK;
}

}  // namespace

std::wstring FormatResult(HRESULT result) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
  return text;
}

CFolderWindow::~CFolderWindow() {
  m_view.Reset();
  if (m_browser) m_browser->Destroy();
  m_browser.Reset();
}

HRESULT CFolderWindow::Fail(HRESULT result, const std::wstring& message) {
  m_error = message + L" (" + FormatResult(result) + L")";
  return result;
}

HRESULT CFolderWindow::Open(const std::wstring& folder, int width, int height, DWORD populateTimeout,
                            Placement placement) {
  HRESULT result = RegisterFrameClass();
  if (FAILED(result)) return Fail(result, L"cannot register the window class");
  // A bordered popup shown without activation is left alone by the X11
  // driver's window management, so destroying it does not wait two seconds
  // for a window manager that a virtual display does not have.
  POINT origin = {0, 0};
  if (placement == Placement::kBottomRight) {
    origin.x = (std::max)(0, GetSystemMetrics(SM_CXSCREEN) - width);
    origin.y = (std::max)(0, GetSystemMetrics(SM_CYSCREEN) - height);
  }
  m_frame.Reset(CreateWindowExW(0, kFrameClass, folder.c_str(), WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, origin.x,
                                origin.y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!m_frame.IsValid()) return Fail(ResultFromLastError(), L"cannot create the window (is there a display?)");
  ShowWindow(m_frame.Get(), SW_SHOWNOACTIVATE);

  result = SHParseDisplayName(folder.c_str(), nullptr, m_folderIdList.Receive(), 0, nullptr);
  if (FAILED(result)) return Fail(result, L"no such folder: " + folder);
  CScopedComPtr<IShellFolder> desktop;
  result = SHGetDesktopFolder(desktop.Receive());
  if (FAILED(result)) return Fail(result, L"no desktop folder");
  result = desktop->BindToObject(m_folderIdList.Get(), nullptr, IID_IShellFolder, m_folder.ReceiveVoid());
  if (FAILED(result)) return Fail(result, L"not a folder: " + folder);

  result = CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IExplorerBrowser,
                            m_browser.ReceiveVoid());
  if (FAILED(result)) return Fail(result, L"cannot create the ExplorerBrowser control");
  RECT area;
  GetClientRect(m_frame.Get(), &area);
  FOLDERSETTINGS settings = {FVM_DETAILS, 0};
  result = m_browser->Initialize(m_frame.Get(), &area, &settings);
  if (FAILED(result)) return Fail(result, L"cannot initialise the ExplorerBrowser control");
  result = m_browser->BrowseToIDList(m_folderIdList.Get(), SBSP_ABSOLUTE);
  if (FAILED(result)) return Fail(result, L"cannot browse to " + folder);
  result = m_browser->GetCurrentView(IID_IShellView, m_view.ReceiveVoid());
  if (FAILED(result)) return Fail(result, L"the ExplorerBrowser control shows no view");
  return WaitForEntries(populateTimeout);
}

HRESULT CFolderWindow::WaitForEntries(DWORD timeoutMilliseconds) {
  // The view shows what the folder enumerates (hidden entries left out).
  CScopedComPtr<IEnumIDList> entries;
  HRESULT result = m_folder->EnumObjects(m_frame.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, entries.Receive());
  if (FAILED(result)) return Fail(result, L"cannot enumerate the folder");
  int expected = 0;
  if (result == S_OK) {
    CTaskMemory<ITEMIDLIST> child;
    while (entries->Next(1, reinterpret_cast<PITEMID_CHILD*>(child.Receive()), nullptr) == S_OK) ++expected;
  }

  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages(20);
    const HWND listView = GetListView();
    const int shown = listView != nullptr ? static_cast<int>(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0)) : -1;
    if (shown == expected) return S_OK;
    if (GetTickCount() - start > timeoutMilliseconds) {
      return Fail(HRESULT_FROM_WIN32(ERROR_TIMEOUT), L"the folder view shows " + std::to_wstring(shown) +
                                                         L" items, not the folder's " + std::to_wstring(expected));
    }
  }
}

HWND CFolderWindow::GetFolderView() const noexcept {
  HWND window = nullptr;
  if (!m_view || FAILED(m_view->GetWindow(&window))) return nullptr;
  return window;
}

HWND CFolderWindow::GetListView() const noexcept {
  const HWND folderView = GetFolderView();
  return folderView != nullptr ? FindWindowExW(folderView, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
}

HRESULT CFolderWindow::ParseEntry(const std::wstring& name, CTaskMemory<ITEMIDLIST>* out) {
  std::wstring text = name;  // ParseDisplayName takes a writable text
  const HRESULT result = m_folder->ParseDisplayName(m_frame.Get(), nullptr, &text[0], nullptr,
                                                    reinterpret_cast<PIDLIST_RELATIVE*>(out->Receive()), nullptr);
  if (FAILED(result)) return Fail(result, L"no entry " + name + L" in the folder");
  return S_OK;
}

HRESULT CFolderWindow::SelectEntries(const std::vector<std::wstring>& names, bool keepOthers) {
  bool first = true;
  for (const std::wstring& name : names) {
    CTaskMemory<ITEMIDLIST> child;
    HRESULT result = ParseEntry(name, &child);
    if (FAILED(result)) return result;
    UINT flags = SVSI_SELECT;
    if (first) flags |= SVSI_FOCUSED | (keepOthers ? 0 : SVSI_DESELECTOTHERS);
    result = m_view->SelectItem(reinterpret_cast<PCUITEMID_CHILD>(child.Get()), flags);
    if (FAILED(result)) return Fail(result, L"the view cannot select " + name);
    first = false;
  }
  return S_OK;
}

HRESULT CFolderWindow::CreateDataObject(const std::vector<std::wstring>& names, IDataObject** out) {
  *out = nullptr;
  std::vector<CTaskMemory<ITEMIDLIST>> children(names.size());
  std::vector<PCUITEMID_CHILD> pointers;
  for (size_t i = 0; i < names.size(); ++i) {
    const HRESULT result = ParseEntry(names[i], &children[i]);
    if (FAILED(result)) return result;
    pointers.push_back(reinterpret_cast<PCUITEMID_CHILD>(children[i].Get()));
  }
  const HRESULT result = m_folder->GetUIObjectOf(m_frame.Get(), static_cast<UINT>(pointers.size()), pointers.data(),
                                                 IID_IDataObject, nullptr, reinterpret_cast<void**>(out));
  if (FAILED(result)) return Fail(result, L"the folder gives no data object for the entries");
  return S_OK;
}

HRESULT CFolderWindow::ItemName(int index, std::wstring* out) {
  // The view's own answer for the item at this index; the list item's
  // parameter holds the same child identifier list.
  CScopedComPtr<IFolderView> folderView;
  CTaskMemory<ITEMIDLIST> ownChild;
  PCUITEMID_CHILD child = nullptr;
  if (SUCCEEDED(m_view->QueryInterface(IID_IFolderView, folderView.ReceiveVoid())) &&
      SUCCEEDED(folderView->Item(index, reinterpret_cast<PITEMID_CHILD*>(ownChild.Receive()))) && ownChild) {
    child = reinterpret_cast<PCUITEMID_CHILD>(ownChild.Get());
  } else {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (SendMessageW(GetListView(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == 0 || item.lParam == 0) {
      return Fail(E_FAIL, L"list item " + std::to_wstring(index) + L" names no entry");
    }
    child = reinterpret_cast<PCUITEMID_CHILD>(item.lParam);
  }
  STRRET name = {};
  HRESULT result = m_folder->GetDisplayNameOf(child, SHGDN_INFOLDER | SHGDN_FORPARSING, &name);
  if (FAILED(result)) return Fail(result, L"no name for list item " + std::to_wstring(index));
  CTaskMemory<wchar_t> text;
  result = StrRetToStrW(&name, child, text.Receive());
  if (FAILED(result)) return Fail(result, L"no name for list item " + std::to_wstring(index));
  *out = text.Get();
  return S_OK;
}

HRESULT CFolderWindow::ReadItemStates(std::vector<ItemState>* out) {
  out->clear();
  const HWND listView = GetListView();
  if (listView == nullptr) return Fail(E_FAIL, L"the folder view has no list control");
  const int count = static_cast<int>(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    ItemState state;
    const HRESULT result = ItemName(index, &state.name);
    if (FAILED(result)) return result;
    const UINT bits = static_cast<UINT>(SendMessageW(listView, LVM_GETITEMSTATE, static_cast<WPARAM>(index),
                                                     LVIS_SELECTED | LVIS_FOCUSED));
    state.selected = (bits & LVIS_SELECTED) != 0;
    state.focused = (bits & LVIS_FOCUSED) != 0;
    out->push_back(state);
  }
  return S_OK;
}

HRESULT CFolderWindow::SavePicture(const std::wstring& path) {
  // With the keyboard focus the list draws its selection in the active colour,
  // as the folder window does once the menu has closed.
  SetForegroundWindow(m_frame.Get());
  SetFocus(GetListView());
  RedrawWindow(m_frame.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(100);
  RECT bounds;
  if (!GetWindowRect(m_frame.Get(), &bounds)) return Fail(ResultFromLastError(), L"no window to picture");
  // What the screen shows of the window, its children and frame included.
  std::wstring error;
  const HRESULT result = SaveScreenArea(bounds, path, &error);
  if (FAILED(result)) return Fail(result, error);
  return S_OK;
}

void CFolderWindow::PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (GetTickCount() - start >= milliseconds) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < milliseconds);
}

}  // namespace quorvel
