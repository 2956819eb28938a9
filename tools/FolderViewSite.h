// CFolderViewSite: the site a folder window gives a context-menu handler
// (IObjectWithSite::SetSite), as the shell's does: a service provider that
// leads to the hosted browser (SID_STopLevelBrowser, IShellBrowser) and its
// current view (SID_SFolderView). It records which of them it handed out.
#pragma once

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

class CFolderViewSite final : public IServiceProvider {
 public:
  enum class Services {
    kViewAndBrowser,  // both, as Explorer's site
    kBrowserOnly,     // SID_SFolderView refused
    kNone,            // every service refused
  };

  // A site with one reference, which the caller owns.
  CFolderViewSite(IExplorerBrowser* browser, Services services);
  CFolderViewSite(const CFolderViewSite&) = delete;
  CFolderViewSite& operator=(const CFolderViewSite&) = delete;

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(QueryService)(REFGUID service, REFIID iid, void** out) override;

  // The view the SID_SFolderView service hands out in place of the browser's
  // current one (a wrapper over it).
  void SetView(IFolderView* view) noexcept { m_view.Hold(view); }

  bool HandedOutView() const noexcept { return m_handedOutView; }
  bool HandedOutBrowser() const noexcept { return m_handedOutBrowser; }
  // References held on the site, its creator's included.
  ULONG ReferenceCount() const noexcept { return m_references; }

 private:
  ~CFolderViewSite() = default;

  ULONG m_references = 1;
  CScopedComPtr<IExplorerBrowser> m_browser;
  CScopedComPtr<IFolderView> m_view;
  Services m_services;
  bool m_handedOutView = false;
  bool m_handedOutBrowser = false;
};

}  // namespace quorvel
