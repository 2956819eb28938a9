// CSelecterMenu: the context-menu handler for files. The shell makes one per
// right-click, hands it the selected items (IShellExtInit), lets it add the
// item "Select All <ext> Files" (IContextMenu), and calls it back when the
// item is chosen; it then selects, in the folder window's list control, every
// entry of the folder with the most frequent extension of the selection.
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
#include "shellext/SelectionProcessor.h"

namespace quorvel {

class CSelecterMenu : public CComObjectRootEx<CComSingleThreadModel>,
                      public CComCoClass<CSelecterMenu, &CLSID_SelecterMenu>,
                      public IShellExtInit,
                      public IContextMenu,
                      public IDispatchImpl<ISelecterMenu, &IID_ISelecterMenu, &LIBID_QuorvelLib, 1, 0,
                                           CComTypeInfoHolder> {
 public:
  static constexpr UINT kMaxSelectedFiles = 250;
  static constexpr UINT kPathBufferUnits = 32767;
  static constexpr WORD kMenuBitmapId = 202;
  static const char16_t kMenuTextPrefix[];
  static const char16_t kMenuTextSuffix[];
  static const char16_t kHelpText[];

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

  // Command offset 0: selects the matching entries in the folder window
  // below pici->hwnd; S_OK whether or not a list control was found. A verb
  // string gives E_INVALIDARG, any other offset S_OK with nothing done.
  STDMETHOD(InvokeCommand)(CMINVOKECOMMANDINFO* pici) override;

  // The help text for command offset 0, as GCS_HELPTEXTW (UTF-16) or
  // GCS_HELPTEXTA (the thread's ANSI code page), cut to cchMax - 1
  // characters and a terminator: S_OK. Anything else: E_INVALIDARG.
  STDMETHOD(GetCommandString)(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) override;

  // Folder view location: the list control of the folder view at or below
  // `start`, or null.
  static HWND FindListView(HWND start);
  // The first window at or below `window` (depth first, topmost child first)
  // whose class name equals `className`, ASCII letter case ignored; or null.
  static HWND FindWindowByClass(HWND window, const CWideString& className);
  // The index of the first list item whose identifier list names a file
  // called exactly `fileName`, or -1.
  static int FindItemByName(HWND listView, const CWideString& fileName);

  // Folder scan: clears the list's selection, then selects and focuses the
  // item of every entry of `folder` that matches `pattern` ("*" + extension),
  // in listing order. The list is read once for all the entries.
  static void SelectMatchingFiles(HWND listView, const CWideString& folder, const CWideString& pattern);
  // Selects and focuses the item that shows `fileName`, if there is one.
  static void SelectItemByName(HWND listView, const CWideString& fileName);

 protected:
  CSelecterMenu() noexcept;
  ~CSelecterMenu() = default;  // releases the data object, frees the bitmap

 private:
  HRESULT ReadSelection(IDataObject* dataObject);
  HRESULT AddMenuItem(HMENU hmenu, UINT indexMenu, UINT idCmdFirst);
  HRESULT CopyHelpText(UINT uType, CHAR* pszName, UINT cchMax) const;
  void SelectInFolderWindow(HWND window) const;

  SelectionProcessor m_selection;
  CScopedComPtr<IDataObject> m_dataObject;
  CScopedBitmap m_menuBitmap;
};

}  // namespace quorvel
