#include "shellext/SelecterMenu.h"

#include <memory>
#include <new>

#include "base/Failure.h"
#include "base/ResultCode.h"
#include "platform/AnsiText.h"
#include "shellext/DropFileList.h"
#include "shellext/ResourceInstance.h"

namespace quorvel {

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
    return ReadDropFileList(m_dataObject.Get(), kMaxSelectedFiles, &m_selection);
  } catch (...) {
    return ResultOfCurrentException();
  }
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
  const CWideString text = SelectAllTitle(m_selection);

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
  const CWideString help = SelectAllHelpText();
  if (uType == GCS_HELPTEXTW) {
    lstrcpynW(reinterpret_cast<LPWSTR>(pszName), AsWide(help.GetText()), static_cast<int>(cchMax));
    return S_OK;
  }
  // Two bytes per UTF-16 unit, terminator included, hold any ANSI code page.
  const int units = help.GetLength() + 1;
  const int bytes = 2 * units;
  std::unique_ptr<char[]> text(new char[bytes]());
  if (Utf16ToAnsi(help.GetText(), units, text.get(), bytes) == 0) return ResultFromLastError();
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
    SelectAllInFolderView(m_selection, m_site.Get(), pici->hwnd);
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

}  // namespace quorvel
