#include "tools/FolderViewSite.h"

#include <shlguid.h>

namespace quorvel {

CFolderViewSite::CFolderViewSite(IExplorerBrowser* browser, Services services) : m_services(services) {
  m_browser.Hold(browser);
}

STDMETHODIMP CFolderViewSite::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IServiceProvider)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IServiceProvider*>(this);
  return S_OK;
}

STDMETHODIMP_(ULONG) CFolderViewSite::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) CFolderViewSite::Release() {
  const ULONG count = --m_references;
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP CFolderViewSite::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!m_browser) return E_NOINTERFACE;
  if (IsEqualGUID(service, SID_SFolderView) && m_services == Services::kViewAndBrowser) {
    const HRESULT result = m_view ? m_view->QueryInterface(iid, out) : m_browser->GetCurrentView(iid, out);
    m_handedOutView = m_handedOutView || SUCCEEDED(result);
    return result;
  }
  if (IsEqualGUID(service, SID_STopLevelBrowser) && m_services != Services::kNone) {
    const HRESULT result = m_browser->QueryInterface(iid, out);
    m_handedOutBrowser = m_handedOutBrowser || SUCCEEDED(result);
    return result;
  }
  return E_NOINTERFACE;
}

}  // namespace quorvel
