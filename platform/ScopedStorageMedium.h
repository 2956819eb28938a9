// Owners for data taken from a data object: the storage medium GetData fills,
// and the lock on the global memory it carries. The medium's surface is that
// of every owner (platform/ScopedComPtr.h).
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

// A STGMEDIUM filled by IDataObject::GetData; ReleaseStgMedium frees it.
class CScopedStorageMedium {
 public:
  CScopedStorageMedium() noexcept;
  CScopedStorageMedium(const CScopedStorageMedium&) = delete;
  CScopedStorageMedium& operator=(const CScopedStorageMedium&) = delete;
  ~CScopedStorageMedium() { Reset(); }

  // Releases any medium held, then answers the record to fill. It starts as
  // medium type TYMED_HGLOBAL with a null handle and no release object.
  STGMEDIUM* Receive() noexcept;
  // Takes the result of the GetData that filled Receive's record and hands it
  // back. A failed GetData hands over nothing to release: whatever it may have
  // written is given up, and the owner stays empty.
  HRESULT Received(HRESULT result) noexcept;

  const STGMEDIUM& Get() const noexcept { return m_medium; }
  bool IsHeld() const noexcept { return m_medium.tymed != TYMED_NULL; }

  // Releases the medium now (ReleaseStgMedium), leaving nothing held.
  void Reset() noexcept;

  // Gives the record up without releasing it.
  STGMEDIUM Detach() noexcept;

 private:
  STGMEDIUM m_medium;
};

// GlobalLock for one scope; GlobalUnlock when it ends.
class CScopedGlobalLock {
 public:
  explicit CScopedGlobalLock(HGLOBAL memory) noexcept;
  CScopedGlobalLock(const CScopedGlobalLock&) = delete;
  CScopedGlobalLock& operator=(const CScopedGlobalLock&) = delete;
  ~CScopedGlobalLock() { Unlock(); }

  // The locked memory, or null when GlobalLock failed.
  void* Get() const noexcept { return m_data; }

  void Unlock() noexcept;

 private:
  HGLOBAL m_memory;
  void* m_data;
};

}  // namespace quorvel
