#include "tools/InterfacesKeptRegistered.h"

namespace quorvel {

CInterfacesKeptRegistered::~CInterfacesKeptRegistered() {
  for (CScopedComPtr<IStream>& marshal : m_marshals) {
    const LARGE_INTEGER start = {};
    if (SUCCEEDED(marshal->Seek(start, STREAM_SEEK_SET, nullptr))) CoReleaseMarshalData(marshal.Get());
  }
}

void CInterfacesKeptRegistered::Keep(IUnknown* object, REFIID iid) noexcept {
  if (object == nullptr) return;
  CScopedComPtr<IUnknown> asked;
  if (FAILED(object->QueryInterface(iid, asked.ReceiveVoid()))) return;
  CScopedComPtr<IStream> marshal;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, marshal.Receive()))) return;
  if (FAILED(CoMarshalInterface(marshal.Get(), iid, asked.Get(), MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG))) {
    return;
  }
  try {
    m_marshals.push_back(std::move(marshal));
  } catch (...) {
    const LARGE_INTEGER start = {};
    if (SUCCEEDED(marshal->Seek(start, STREAM_SEEK_SET, nullptr))) CoReleaseMarshalData(marshal.Get());
  }
}

bool IsProxy(IUnknown* object) noexcept {
  CScopedComPtr<IClientSecurity> security;
  return object != nullptr && SUCCEEDED(object->QueryInterface(IID_IClientSecurity, security.ReceiveVoid()));
}

}  // namespace quorvel
