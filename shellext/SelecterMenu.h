// CSelecterMenu: the context-menu handler for files. The shell makes one per
// right-click, hands it the selected items (IShellExtInit) and its site
// (IObjectWithSite), lets it add the item "Select All <ext> Files"
// (IContextMenu), and calls it back when the item is chosen; it then selects,
// in the folder window, every entry of the folder with the most frequent
// extension of the selection. The work is SelectAllCommand.h's, shared with
// the Explorer command; this object only reads the shell's data object and
// builds the menu item.
//
// The object is abstract: it is made in one of the creatable forms of
// server/ComObject.h, through CreateObject.
#pragma once

#include "Quorvel.h"
#include "base/WideString.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "server/ComObject.h"
#include "server/DispatchImpl.h"
#include "server/ObjectRoot.h"
#include "shellext/SelectAllCommand.h"
#include "shellext/SelectionProcessor.h"

namespace quorvel {

class CSelecterMenu : public CComObjectRootEx<CComSingleThreadModel>,
                      public CComCoClass<CSelecterMenu, &CLSID_SelecterMenu>,
                      public IShellExtInit,
                      public IContextMenu,
                      public IDispatchImpl<ISelecterMenu, &IID_ISelecterMenu, &LIBID_QuorvelLib, 1, 0,
                                           CComTypeInfoHolder>,
                      public IObjectWithSite {
 public:
  static constexpr UINT kMaxSelectedFiles = kMaxClickedFiles;
  static constexpr WORD kMenuBitmapId = 202;

  // The interface table, searched in order; the first entry is the identity.
  static const InterfaceEntry* GetInterfaceTable() noexcept;

  // Reads the data object's file-drop list (1 to 250 paths) into the
  // selection. S_OK; E_INVALIDARG when there is no data object, no drop list,
  // or too few or too many files (the selection is then kept);
  // E_OUTOFMEMORY when memory runs out.
  STDMETHOD(Initialize)(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

  // Inserts "Select All <ext> Files" with the menu bitmap at indexMenu with
  // the identifier idCmdFirst and answers 1 (one identifier used); answers
  // 0 and adds nothing under CMF_DEFAULTONLY.
  STDMETHOD(QueryContextMenu)(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override;

  // Command offset 0: selects the matching entries in the folder view that
  // the site leads to (its SID_SFolderView service, else its top-level
  // browser's active view), provided that view shows the selection's folder
  // or items of it; otherwise in the list control below pici->hwnd. S_OK
  // whether or not a view was found. A verb string gives E_INVALIDARG, any
  // other offset S_OK with nothing done.
  STDMETHOD(InvokeCommand)(CMINVOKECOMMANDINFO* pici) override;

  // The help text for command offset 0, as GCS_HELPTEXTW (UTF-16) or
  // GCS_HELPTEXTA (the thread's ANSI code page), cut to cchMax - 1
  // characters and a terminator: S_OK. Anything else: E_INVALIDARG.
  STDMETHOD(GetCommandString)(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) override;

  // Holds `pUnkSite` (null: none), letting the site held before go. S_OK.
  STDMETHOD(SetSite)(IUnknown* pUnkSite) override;
  // The held site as `riid`; E_FAIL with *ppvSite null when none is held.
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) override;

 protected:
  CSelecterMenu() noexcept;
  ~CSelecterMenu() = default;  // releases the site and the data object, frees the bitmap

 private:
  HRESULT AddMenuItem(HMENU hmenu, UINT indexMenu, UINT idCmdFirst);
  HRESULT CopyHelpText(UINT uType, CHAR* pszName, UINT cchMax) const;

  SelectionProcessor m_selection;
  CScopedComPtr<IDataObject> m_dataObject;
  CScopedBitmap m_menuBitmap;
  CScopedComPtr<IUnknown> m_site;  // the last SetSite's, until SetSite(NULL)
};

}  // namespace quorvel
