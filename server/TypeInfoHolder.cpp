#include "server/TypeInfoHolder.h"

#include <new>
#include <utility>

#include "server/QuorvelModule.h"

namespace quorvel {

namespace {

void FreeNameCache(NameCacheEntry* cache, int count) noexcept {
  if (cache == nullptr) return;
  for (int i = 0; i < count; ++i) SysFreeString(cache[i].Name);
  delete[] cache;
}

}  // namespace

HRESULT CComTypeInfoHolder::EnsureTypeInfo(LCID locale) noexcept {
  if (CachedTypeInfo() != nullptr && HasNameCache()) return S_OK;
  return LoadTypeInfo(locale);
}

HRESULT CComTypeInfoHolder::LoadInterfaceTypeInfo(LCID locale, CScopedComPtr<ITypeInfo>* out) const noexcept {
  CScopedComPtr<ITypeLib> library;
  HRESULT result =
      library.Received(LoadRegTypeLib(*m_libraryId, m_majorVersion, m_minorVersion, locale, library.Receive()));
  if (FAILED(result)) return result;
  CScopedComPtr<ITypeInfo> typeInfo;
  result = typeInfo.Received(library->GetTypeInfoOfGuid(*m_interfaceId, typeInfo.Receive()));
  if (FAILED(result)) return result;

  // Cache the ITypeInfo of the ITypeInfo2 object when that is a different object.
  CScopedComPtr<ITypeInfo2> typeInfo2;
  if (SUCCEEDED(typeInfo2.Received(typeInfo->QueryInterface(IID_ITypeInfo2, typeInfo2.ReceiveVoid()))) &&
      typeInfo2) {
    CScopedComPtr<IUnknown> identity;
    CScopedComPtr<IUnknown> identity2;
    identity.Received(typeInfo->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
    identity2.Received(typeInfo2->QueryInterface(IID_IUnknown, identity2.ReceiveVoid()));
    CScopedComPtr<ITypeInfo> fromTypeInfo2;
    if (identity.Get() != identity2.Get() &&
        SUCCEEDED(fromTypeInfo2.Received(typeInfo2->QueryInterface(IID_ITypeInfo, fromTypeInfo2.ReceiveVoid()))) &&
        fromTypeInfo2) {
      typeInfo = std::move(fromTypeInfo2);
    }
  }
  *out = std::move(typeInfo);
  return S_OK;
}

HRESULT CComTypeInfoHolder::LoadTypeInfo(LCID locale) noexcept {
  if (CachedTypeInfo() != nullptr && HasNameCache()) return S_OK;
  CQuorvelModule* module = QuorvelModule();
  if (module == nullptr || !module->IsInitialised()) return E_UNEXPECTED;

  CModuleLockScope lock(*module);
  HRESULT result = S_OK;
  if (m_typeInfo.load(std::memory_order_relaxed) == nullptr) {
    CScopedComPtr<ITypeInfo> typeInfo;
    result = LoadInterfaceTypeInfo(locale, &typeInfo);
    if (FAILED(result)) return result;
    m_typeInfo.store(typeInfo.Detach(), std::memory_order_release);  // keeps the one reference
    module->AddCleanup(&CComTypeInfoHolder::ReleaseTypeInfo, reinterpret_cast<DWORD_PTR>(this));
  }

  ITypeInfo* typeInfo = m_typeInfo.load(std::memory_order_relaxed);
  if (typeInfo != nullptr && m_nameCache.load(std::memory_order_relaxed) == nullptr) {
    result = BuildNameCache(typeInfo);
  }
  return result;
}

HRESULT CComTypeInfoHolder::BuildNameCache(ITypeInfo* typeInfo) noexcept {
  TYPEATTR* attributes = nullptr;
  if (FAILED(typeInfo->GetTypeAttr(&attributes)) || attributes == nullptr) return S_OK;

  const int count = attributes->cFuncs;
  NameCacheEntry* cache = nullptr;
  if (count != 0) {
    cache = new (std::nothrow) NameCacheEntry[count];
    if (cache == nullptr) {
      typeInfo->ReleaseTypeAttr(attributes);
      return E_OUTOFMEMORY;
    }
    for (int i = 0; i < count; ++i) {
      FUNCDESC* function = nullptr;
      if (FAILED(typeInfo->GetFuncDesc(static_cast<UINT>(i), &function)) || function == nullptr) continue;
      BSTR name = nullptr;
      if (SUCCEEDED(typeInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
        cache[i].Name = name;
        cache[i].Length = static_cast<LONG>(SysStringLen(name));
        cache[i].DispId = function->memid;
      }
      typeInfo->ReleaseFuncDesc(function);
    }
  }
  m_nameCount = count;
  m_nameCache.store(cache, std::memory_order_release);
  typeInfo->ReleaseTypeAttr(attributes);
  return S_OK;
}

void CComTypeInfoHolder::ReleaseTypeInfo(DWORD_PTR argument) noexcept {
  auto* holder = reinterpret_cast<CComTypeInfoHolder*>(argument);
  if (holder == nullptr) return;
  ITypeInfo* typeInfo = holder->m_typeInfo.exchange(nullptr);
  if (typeInfo != nullptr) typeInfo->Release();
  NameCacheEntry* cache = holder->m_nameCache.exchange(nullptr);
  FreeNameCache(cache, holder->m_nameCount);
  holder->m_nameCount = 0;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept {
  if (index != 0) return DISP_E_BADINDEX;
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  HRESULT result = S_OK;
  if (CachedTypeInfo() == nullptr) result = LoadTypeInfo(locale);
  ITypeInfo* cached = CachedTypeInfo();
  if (cached == nullptr) return result;
  cached->AddRef();
  *typeInfo = cached;
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds) noexcept {
  const HRESULT result = EnsureTypeInfo(locale);
  ITypeInfo* typeInfo = CachedTypeInfo();
  if (typeInfo == nullptr) return result;

  const NameCacheEntry* cache = m_nameCache.load(std::memory_order_acquire);
  if (cache != nullptr && nameCount == 1 && names != nullptr && names[0] != nullptr && dispIds != nullptr) {
    const LONG length = lstrlenW(names[0]);
    for (int i = m_nameCount - 1; i >= 0; --i) {
      const NameCacheEntry& entry = cache[i];
      if (entry.Name != nullptr && entry.Length == length &&
          memcmp(entry.Name, names[0], static_cast<size_t>(length) * sizeof(OLECHAR)) == 0) {
        dispIds[0] = entry.DispId;
        return S_OK;
      }
    }
  }
  return typeInfo->GetIDsOfNames(names, nameCount, dispIds);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* instance, DISPID dispId, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) noexcept {
  HRESULT loadResult = S_OK;
  if (CachedTypeInfo() == nullptr || !HasNameCache()) loadResult = LoadTypeInfo(locale);
  ITypeInfo* typeInfo = CachedTypeInfo();
  if (typeInfo == nullptr) return loadResult;
  return typeInfo->Invoke(instance, dispId, flags, parameters, result, exception, argumentError);
}

}  // namespace quorvel
