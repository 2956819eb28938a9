#include "platform/ScopedStorageMedium.h"

namespace quorvel {

CScopedStorageMedium::CScopedStorageMedium() noexcept : m_medium() { m_medium.tymed = TYMED_NULL; }

STGMEDIUM* CScopedStorageMedium::Receive() noexcept {
  Reset();
  m_medium.tymed = TYMED_HGLOBAL;
  m_medium.hGlobal = nullptr;
  m_medium.pUnkForRelease = nullptr;
  return &m_medium;
}

void CScopedStorageMedium::Reset() noexcept {
  if (m_medium.tymed != TYMED_NULL) ReleaseStgMedium(&m_medium);
  m_medium = STGMEDIUM();
  m_medium.tymed = TYMED_NULL;
}

HRESULT CScopedStorageMedium::Received(HRESULT result) noexcept {
  if (FAILED(result)) Detach();
  return result;
}

STGMEDIUM CScopedStorageMedium::Detach() noexcept {
  const STGMEDIUM medium = m_medium;
  m_medium = STGMEDIUM();
  m_medium.tymed = TYMED_NULL;
  return medium;
}

CScopedGlobalLock::CScopedGlobalLock(HGLOBAL memory) noexcept
    : m_memory(memory), m_data(memory != nullptr ? GlobalLock(memory) : nullptr) {}

void CScopedGlobalLock::Unlock() noexcept {
  if (m_data == nullptr) return;
  m_data = nullptr;
  GlobalUnlock(m_memory);
}

}  // namespace quorvel
