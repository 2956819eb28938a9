#include "shellext/SelecterMenu.h"

#include <memory>
#include <new>

#include "base/Failure.h"
#include "base/ResultCode.h"
#include "platform/AnsiText.h"
#include "platform/ScopedStorageMedium.h"
#include "shellext/ResourceInstance.h"
#include "shellext/SiteFolderView.h"

namespace quorvel {

const char16_t CSelecterMenu::kMenuTextPrefix[] = u"Select All ";
const char16_t CSelecterMenu::kMenuTextSuffix[] = u" Files";
const char16_t CSelecterMenu::kHelpText[] = u"Click to select all files with this extension in the current folder";

CSelecterMenu::CSelecterMenu() noexcept
    : m_menuBitmap(LoadBitmapW(ResourceInstance(), MAKEINTRESOURCEW(kMenuBitmapId))) {}

const InterfaceEntry* CSelecterMenu::GetInterfaceTable() noexcept {
  static const InterfaceEntry table[] = {
      {&IID_ISelecterMenu, InterfaceOffset<CSelecterMenu, ISelecterMenu>()},
      {&IID_IDispatch, InterfaceOffset<CSelecterMenu, ISelecterMenu>()},
      {&IID_IShellExtInit, InterfaceOffset<CSelecterMenu, IShellExtInit>()},
      {&IID_IContextMenu, InterfaceOffset<CSelecterMenu, IContextMenu>()},
      {&IID_IObjectWithSite, InterfaceOffset<CSelecterMenu, IObjectWithSite>()},
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP CSelecterMenu::Initialize(PCIDLIST_ABSOLUTE /*pidlFolder*/, IDataObject* pdtobj, HKEY /*hkeyProgID*/) {
  try {
    // The old data object is let go first; without a new one nothing is held
    // and nothing further is asked of either.
    m_dataObject.Reset();
    if (pdtobj == nullptr) return E_INVALIDARG;
    m_dataObject.Hold(pdtobj);
    return ReadSelection(m_dataObject.Get());
  } catch (...) {
    return ResultOfCurrentException();
  }
}

HRESULT CSelecterMenu::ReadSelection(IDataObject* dataObject) {
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  CScopedStorageMedium medium;
  if (FAILED(medium.Received(dataObject->GetData(&format, medium.Receive())))) return E_INVALIDARG;
  // Only global memory can be locked; a medium of another kind is refused.
  if (medium.Get().tymed != TYMED_HGLOBAL) return E_INVALIDARG;

  CScopedGlobalLock lock(medium.Get().hGlobal);
  const HDROP drop = static_cast<HDROP>(lock.Get());
  if (drop == nullptr) return E_INVALIDARG;

  std::unique_ptr<wchar_t[]> path(new wchar_t[kPathBufferUnits]);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, path.get(), kPathBufferUnits);
  if (count == 0 || count > kMaxSelectedFiles) return E_INVALIDARG;

  m_selection.Clear();
  for (UINT index = 0; index < count; ++index) {
    UINT length = DragQueryFileW(drop, index, path.get(), kPathBufferUnits);
    if (length > kPathBufferUnits - 1) length = kPathBufferUnits - 1;
    m_selection.AddFile(CWideString(AsUtf16(path.get()), static_cast<int32_t>(length)));
  }
  return S_OK;
}

STDMETHODIMP CSelecterMenu::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT /*idCmdLast*/,
                                             UINT uFlags) {
  try {
    if ((uFlags & CMF_DEFAULTONLY) != 0) return S_OK;
    return AddMenuItem(hmenu, indexMenu, idCmdFirst);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

HRESULT CSelecterMenu::AddMenuItem(HMENU hmenu, UINT indexMenu, UINT idCmdFirst) {
  m_selection.Analyse();
  CWideString text(kMenuTextPrefix);
  text += m_selection.GetExtension();
  text += kMenuTextSuffix;

  // The menu calls' results are not examined: the item's one identifier is
  // spent either way.
  InsertMenuW(hmenu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, AsWide(text.GetText()));
  SetMenuItemBitmaps(hmenu, indexMenu, MF_BYPOSITION, m_menuBitmap.Get(), m_menuBitmap.Get());
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP CSelecterMenu::GetCommandString(UINT_PTR idCmd, UINT uType, UINT* /*pReserved*/, CHAR* pszName,
                                             UINT cchMax) {
  try {
    if (idCmd != 0) return E_INVALIDARG;
    // No verb name is published: only the two help-text requests are served.
    if (uType != GCS_HELPTEXTW && uType != GCS_HELPTEXTA) return E_INVALIDARG;
    if (pszName == nullptr) return E_INVALIDARG;
    return CopyHelpText(uType, pszName, cchMax);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

HRESULT CSelecterMenu::CopyHelpText(UINT uType, CHAR* pszName, UINT cchMax) const {
  if (uType == GCS_HELPTEXTW) {
    lstrcpynW(reinterpret_cast<LPWSTR>(pszName), AsWide(kHelpText), static_cast<int>(cchMax));
    return S_OK;
  }
  // Two bytes per UTF-16 unit, terminator included, hold any ANSI code page.
  const int units = TextLength(kHelpText) + 1;
  const int bytes = 2 * units;
  std::unique_ptr<char[]> text(new char[bytes]());
  if (Utf16ToAnsi(kHelpText, units, text.get(), bytes) == 0) return ResultFromLastError();
  lstrcpynA(pszName, text.get(), static_cast<int>(cchMax));
  return S_OK;
}

STDMETHODIMP CSelecterMenu::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
  try {
    if (pici == nullptr) return E_INVALIDARG;
    // A verb given as a string is a pointer; a command offset fits the low
    // 16 bits with every higher bit clear.
    const ULONG_PTR verb = reinterpret_cast<ULONG_PTR>(pici->lpVerb);
    if ((verb >> 16) != 0) return E_INVALIDARG;
    if (LOWORD(verb) != 0) return S_OK;
    SelectInFolderWindow(pici->hwnd);
    return S_OK;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterMenu::SetSite(IUnknown* pUnkSite) {
  m_site.Hold(pUnkSite);
  return S_OK;
}

STDMETHODIMP CSelecterMenu::GetSite(REFIID riid, void** ppvSite) {
  if (ppvSite == nullptr) return E_POINTER;
  *ppvSite = nullptr;
  if (!m_site) return E_FAIL;
  return m_site->QueryInterface(riid, ppvSite);
}

void CSelecterMenu::SelectInFolderWindow(HWND window) const {
  const CWideString extension = m_selection.GetExtension();
  const CWideString folder = m_selection.GetFolder();
  if (extension.GetLength() <= 1) return;
  // The folder is empty when the first path did not fit the path object; the
  // pattern would then name the root of the current drive, not the folder.
  if (folder.IsEmpty()) return;
  CWideString pattern(u"*");
  pattern += extension;

  // Since Windows 7 Explorer's file list is no list control: the view object
  // that the site leads to comes first, the window classes last. A view that
  // shows another folder is passed over, and so is any step that fails.
  using Route = CScopedComPtr<IFolderView> (*)(IUnknown*);
  for (const Route route : {&FolderViewOfViewService, &FolderViewOfTopLevelBrowser}) {
    const CScopedComPtr<IFolderView> view = route(m_site.Get());
    if (view && SelectMatchingViewItems(view.Get(), folder, pattern)) return;
  }
  const HWND listView = FindListView(window);
  if (listView != nullptr) SelectMatchingFiles(listView, folder, pattern);
}

}  // namespace quorvel
