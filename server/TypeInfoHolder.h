// CComTypeInfoHolder: the process-wide type information of one dual interface,
// loaded from the registered type library on first use, with a cache of its
// member names. Shared by every object of the class; released when the
// library unloads (through the module's clean-up list).
#pragma once

#include <atomic>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

struct NameCacheEntry {
  BSTR Name = nullptr;
  LONG Length = 0;
  DISPID DispId = DISPID_UNKNOWN;
};

class CComTypeInfoHolder {
 public:
  // Constant-initialised, so a holder is valid before any constructor runs.
  constexpr CComTypeInfoHolder(const IID* interfaceId, const GUID* libraryId, WORD majorVersion,
                               WORD minorVersion) noexcept
      : m_interfaceId(interfaceId),
        m_libraryId(libraryId),
        m_majorVersion(majorVersion),
        m_minorVersion(minorVersion),
        m_typeInfo(nullptr),
        m_nameCache(nullptr),
        m_nameCount(0) {}
  CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
  CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

  // S_OK at once when the type information and the name cache are both there.
  HRESULT EnsureTypeInfo(LCID locale) noexcept;
  HRESULT LoadTypeInfo(LCID locale) noexcept;
  HRESULT BuildNameCache(ITypeInfo* typeInfo) noexcept;
  // Clean-up action: releases the type information and frees the name cache.
  static void ReleaseTypeInfo(DWORD_PTR holder) noexcept;

  // The dispatch operations of an object whose interface this holder describes.
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept;
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds) noexcept;
  HRESULT Invoke(IDispatch* instance, DISPID dispId, LCID locale, WORD flags, DISPPARAMS* parameters,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

  ITypeInfo* CachedTypeInfo() const noexcept { return m_typeInfo.load(std::memory_order_acquire); }
  bool HasNameCache() const noexcept { return m_nameCache.load(std::memory_order_acquire) != nullptr; }

 private:
  // The type information of the interface from the registered type library.
  HRESULT LoadInterfaceTypeInfo(LCID locale, CScopedComPtr<ITypeInfo>* out) const noexcept;

  const IID* m_interfaceId;
  const GUID* m_libraryId;
  WORD m_majorVersion;
  WORD m_minorVersion;
  // Set from null only under the module lock and read without it on the fast
  // path: release stores pair with acquire loads.
  std::atomic<ITypeInfo*> m_typeInfo;
  std::atomic<NameCacheEntry*> m_nameCache;
  int m_nameCount;
};

}  // namespace quorvel
