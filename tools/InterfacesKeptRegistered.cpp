#include "tools/InterfacesKeptRegistered.h"

namespace quorvel {

namespace {

// Gives back what a table-strong marshal holds: the stream is read again
// from its start.
void ReleaseMarshal(IStream* marshal) noexcept {
  const LARGE_INTEGER start = {};
  if (SUCCEEDED(marshal->Seek(start, STREAM_SEEK_SET, nullptr))) CoReleaseMarshalData(marshal);
}

}  // namespace

CInterfacesKeptRegistered::~CInterfacesKeptRegistered() {
  for (CScopedComPtr<IStream>& marshal : m_marshals) ReleaseMarshal(marshal.Get());
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
    ReleaseMarshal(marshal.Get());
  }
}

bool IsProxy(IUnknown* object) noexcept {
  CScopedComPtr<IClientSecurity> security;
  return object != nullptr && SUCCEEDED(object->QueryInterface(IID_IClientSecurity, security.ReceiveVoid()));
}

}  // namespace quorvel
