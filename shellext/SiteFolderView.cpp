#include "shellext/SiteFolderView.h"

#include <shlguid.h>

namespace quorvel {

namespace {

template <class T>
CScopedComPtr<T> QueryService(IUnknown* site, REFGUID service, REFIID iid) {
  CScopedComPtr<T> object;
  if (site == nullptr) return object;
  CScopedComPtr<IServiceProvider> provider;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid())) || !provider) return object;
  // A provider that fails may still have written to the slot: keep nothing then.
  if (FAILED(provider->QueryService(service, iid, object.ReceiveVoid()))) object.Detach();
  return object;
}

}  // namespace

CScopedComPtr<IFolderView> FolderViewOfViewService(IUnknown* site) {
  return QueryService<IFolderView>(site, SID_SFolderView, IID_IFolderView);
}

CScopedComPtr<IFolderView> FolderViewOfTopLevelBrowser(IUnknown* site) {
  CScopedComPtr<IFolderView> folderView;
  const CScopedComPtr<IShellBrowser> browser = QueryService<IShellBrowser>(site, SID_STopLevelBrowser, IID_IShellBrowser);
  if (!browser) return folderView;
  CScopedComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.Receive())) || !view) {
    view.Detach();
    return folderView;
  }
  if (FAILED(view->QueryInterface(IID_IFolderView, folderView.ReceiveVoid()))) folderView.Detach();
  return folderView;
}

}  // namespace quorvel
