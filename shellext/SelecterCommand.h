// CSelecterCommand: "Select All <ext> Files" as an Explorer command, the form
// Windows 11 admits to its first-level context menu (the classic handler,
// SelecterMenu.h, shows only under "Show more options"). The shell hands it
// the clicked items as an item array and its site (IObjectWithSite), asks it
// for its state, title, tool tip and icon while the menu opens, and calls
// Invoke when it is chosen. Windows 11 runs it in the COM surrogate, so the
// site and the items may live in another process.
//
// The work is SelectAllCommand.h's, shared with the classic handler; this
// object only reads the item array and answers the shell.
#pragma once

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "server/ComObject.h"
#include "server/ObjectRoot.h"
#include "shellext/SelectionProcessor.h"

namespace quorvel {

// The class identifier, fixed: the package that declares the command names it.
extern const CLSID CLSID_SelecterCommand;
// What GetCanonicalName answers, fixed: the shell keys the command by it.
extern const GUID kSelecterCommandCanonicalName;

class CSelecterCommand : public CComObjectRootEx<CComSingleThreadModel>,
                         public CComCoClass<CSelecterCommand, &CLSID_SelecterCommand>,
                         public IExplorerCommand,
                         public IObjectWithSite {
 public:
  // The icon resource made from the menu picture at 16, 20, 24 and 32 pixels.
  static constexpr WORD kIconId = 203;

  // The interface table, searched in order; the first entry is the identity.
  static const InterfaceEntry* GetInterfaceTable() noexcept;

  // The clicked items below: 1 to 250 items, of which those with a
  // file-system path count. Items that give no usable selection (none, too
  // many, no file-system path) make GetTitle and Invoke answer E_INVALIDARG
  // and GetState ECS_HIDDEN; GetIcon and GetToolTip do not look at them.
  // Each method that looks reads them anew (ClickedItems.h), in a few calls
  // whatever their number.

  // "Select All <ext> Files" for the most frequent extension, as the classic
  // item reads; task memory that the caller frees.
  STDMETHOD(GetTitle)(IShellItemArray* psiItemArray, LPWSTR* ppszName) override;
  // "<this module's path>,-203" (kIconId).
  STDMETHOD(GetIcon)(IShellItemArray* psiItemArray, LPWSTR* ppszIcon) override;
  // The help text, as the classic item's status text.
  STDMETHOD(GetToolTip)(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;
  STDMETHOD(GetCanonicalName)(GUID* pguidCommandName) override;
  // ECS_ENABLED, or ECS_HIDDEN where the command would do nothing (no
  // extension, no usable items). Reads only the items' paths: it runs while
  // the menu opens.
  STDMETHOD(GetState)(IShellItemArray* psiItemArray, BOOL fOkToBeSlow, EXPCMDSTATE* pCmdState) override;
  // Selects the matching entries in the folder view the site leads to, as the
  // classic handler does; S_OK whether or not a view was found (there is no
  // window to fall back on).
  STDMETHOD(Invoke)(IShellItemArray* psiItemArray, IBindCtx* pbc) override;
  STDMETHOD(GetFlags)(EXPCMDFLAGS* pFlags) override;  // ECF_DEFAULT
  STDMETHOD(EnumSubCommands)(IEnumExplorerCommand** ppEnum) override;  // E_NOTIMPL

  // Holds `pUnkSite` (null: none), letting the site held before go. S_OK.
  STDMETHOD(SetSite)(IUnknown* pUnkSite) override;
  // The held site as `riid`; E_FAIL with *ppvSite null when none is held.
  STDMETHOD(GetSite)(REFIID riid, void** ppvSite) override;

 protected:
  CSelecterCommand() noexcept = default;
  ~CSelecterCommand() = default;  // releases the site

 private:
  CScopedComPtr<IUnknown> m_site;  // the last SetSite's, until SetSite(NULL)
};

}  // namespace quorvel
