#include "shellext/SiteFolderView.h"

#include <shlguid.h>

namespace quorvel {

namespace {

template <class T>
CScopedComPtr<T> QueryService(IUnknown* site, REFGUID service, REFIID iid) {
  CScopedComPtr<T> object;
  if (site == nullptr) return object;
  CScopedComPtr<IServiceProvider> provider;
  if (FAILED(provider.Received(site->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid()))) || !provider) {
    return object;
  }
  // A provider that fails may still have written to the slot: Received keeps nothing then.
  object.Received(provider->QueryService(service, iid, object.ReceiveVoid()));
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
  if (FAILED(view.Received(browser->QueryActiveShellView(view.Receive()))) || !view) return folderView;
  folderView.Received(view->QueryInterface(IID_IFolderView, folderView.ReceiveVoid()));
  return folderView;
}

}  // namespace quorvel
