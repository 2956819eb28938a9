// The site given to a handler or command, taken back (SetSite(NULL)) when the
// right-click ends, however it ends: what the shell does with both faces.
#pragma once

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

class CGivenSite {
 public:
  CGivenSite() = default;
  CGivenSite(const CGivenSite&) = delete;
  CGivenSite& operator=(const CGivenSite&) = delete;
  ~CGivenSite() {
    if (m_receiver) m_receiver->SetSite(nullptr);
  }

  // Gives `site` to `receiver` through its IObjectWithSite.
  HRESULT Give(IUnknown* receiver, IUnknown* site) {
    const HRESULT result =
        m_receiver.Received(receiver->QueryInterface(IID_IObjectWithSite, m_receiver.ReceiveVoid()));
    if (FAILED(result)) return result;
    return m_receiver->SetSite(site);
  }

 private:
  CScopedComPtr<IObjectWithSite> m_receiver;
};

}  // namespace quorvel
