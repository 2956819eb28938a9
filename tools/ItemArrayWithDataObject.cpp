#include "tools/ItemArrayWithDataObject.h"

namespace quorvel {

namespace {

constexpr const char* kCallNames[] = {
    "BindToHandler", "GetPropertyStore", "GetPropertyDescriptionList", "GetAttributes", "GetCount", "GetItemAt",
    "EnumItems", "IShellItem::BindToHandler", "IShellItem::GetParent", "IShellItem::GetDisplayName",
    "IShellItem::GetAttributes", "IShellItem::Compare", "IDataObject::GetData", "IDataObject::GetDataHere",
    "IDataObject::QueryGetData", "IDataObject::GetCanonicalFormatEtc", "IDataObject::SetData",
    "IDataObject::EnumFormatEtc", "IDataObject::DAdvise", "IDataObject::DUnadvise", "IDataObject::EnumDAdvise",
};

// What the array hands out passes every call on to the object it wraps and
// counts it on the array, which it keeps alive.
template <typename Interface>
class CCountedObject : public CSingleInterfaceObject<Interface> {
 public:
  CCountedObject(CItemArrayWithDataObject* array, Interface* inner) {
    m_array.Hold(array);
    m_inner.Hold(inner);
  }

  // They stand in for the shell's objects, whose memory is not the
  // command's: failures that tests inject into operator new leave them alone.
  static void* operator new(size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }
  static void operator delete(void* memory) noexcept { HeapFree(GetProcessHeap(), 0, memory); }

 protected:
  // Counts `call` and makes it on the wrapped object.
  template <typename... Arguments, typename... Given>
  HRESULT Pass(const char* call, HRESULT (STDMETHODCALLTYPE Interface::*method)(Arguments...), Given&&... given) {
    m_array->Count(call);
    return (m_inner.Get()->*method)(static_cast<Given&&>(given)...);
  }

 private:
  CScopedComPtr<CItemArrayWithDataObject> m_array;
  CScopedComPtr<Interface> m_inner;
};

class CCountedItem final : public CCountedObject<IShellItem> {
 public:
  using CCountedObject::CCountedObject;

  STDMETHOD(BindToHandler)(IBindCtx* context, REFGUID handler, REFIID iid, void** out) override {
    return Pass("IShellItem::BindToHandler", &IShellItem::BindToHandler, context, handler, iid, out);
  }
  STDMETHOD(GetParent)(IShellItem** parent) override {
    return Pass("IShellItem::GetParent", &IShellItem::GetParent, parent);
  }
  STDMETHOD(GetDisplayName)(SIGDN form, LPWSTR* name) override {
    return Pass("IShellItem::GetDisplayName", &IShellItem::GetDisplayName, form, name);
  }
  STDMETHOD(GetAttributes)(SFGAOF mask, SFGAOF* attributes) override {
    return Pass("IShellItem::GetAttributes", &IShellItem::GetAttributes, mask, attributes);
  }
  STDMETHOD(Compare)(IShellItem* other, SICHINTF hint, int* order) override {
    return Pass("IShellItem::Compare", &IShellItem::Compare, other, hint, order);
  }
};

class CCountedDataObject final : public CCountedObject<IDataObject> {
 public:
  using CCountedObject::CCountedObject;

  STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) override {
    return Pass("IDataObject::GetData", &IDataObject::GetData, format, medium);
  }
  STDMETHOD(GetDataHere)(FORMATETC* format, STGMEDIUM* medium) override {
    return Pass("IDataObject::GetDataHere", &IDataObject::GetDataHere, format, medium);
  }
  STDMETHOD(QueryGetData)(FORMATETC* format) override {
    return Pass("IDataObject::QueryGetData", &IDataObject::QueryGetData, format);
  }
  STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* format, FORMATETC* canonical) override {
    return Pass("IDataObject::GetCanonicalFormatEtc", &IDataObject::GetCanonicalFormatEtc, format, canonical);
  }
  STDMETHOD(SetData)(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    return Pass("IDataObject::SetData", &IDataObject::SetData, format, medium, release);
  }
  STDMETHOD(EnumFormatEtc)(DWORD direction, IEnumFORMATETC** formats) override {
    return Pass("IDataObject::EnumFormatEtc", &IDataObject::EnumFormatEtc, direction, formats);
  }
  STDMETHOD(DAdvise)(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override {
    return Pass("IDataObject::DAdvise", &IDataObject::DAdvise, format, flags, sink, connection);
  }
  STDMETHOD(DUnadvise)(DWORD connection) override {
    return Pass("IDataObject::DUnadvise", &IDataObject::DUnadvise, connection);
  }
  STDMETHOD(EnumDAdvise)(IEnumSTATDATA** advises) override {
    return Pass("IDataObject::EnumDAdvise", &IDataObject::EnumDAdvise, advises);
  }
};

}  // namespace

CItemArrayWithDataObject::CItemArrayWithDataObject(IShellItemArray* inner, IDataObject* dataObject) {
  m_inner.Hold(inner);
  m_dataObject.Hold(dataObject);
  for (const char* name : kCallNames) m_calls.emplace(name, 0);
}

long CItemArrayWithDataObject::TotalCalls() const noexcept {
  long total = 0;
  for (const auto& call : m_calls) total += call.second;
  return total;
}

void CItemArrayWithDataObject::ForgetCalls() noexcept {
  for (auto& call : m_calls) call.second = 0;
}

void CItemArrayWithDataObject::Count(const char* call) noexcept {
  const auto found = m_calls.find(call);
  if (found != m_calls.end()) ++found->second;
}

STDMETHODIMP CItemArrayWithDataObject::BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid, void** out) {
  Count("BindToHandler");
  if (!m_dataObject || !IsEqualGUID(handler, BHID_DataObject)) return m_inner->BindToHandler(context, handler, iid, out);
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  CScopedComPtr<IDataObject> counted;
  counted.Reset(new CCountedDataObject(this, m_dataObject.Get()));
  if (!counted) return E_OUTOFMEMORY;
  return counted->QueryInterface(iid, out);
}

STDMETHODIMP CItemArrayWithDataObject::GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID iid, void** out) {
  Count("GetPropertyStore");
  return m_inner->GetPropertyStore(flags, iid, out);
}

STDMETHODIMP CItemArrayWithDataObject::GetPropertyDescriptionList(REFPROPERTYKEY type, REFIID iid, void** out) {
  Count("GetPropertyDescriptionList");
  return m_inner->GetPropertyDescriptionList(type, iid, out);
}

STDMETHODIMP CItemArrayWithDataObject::GetAttributes(SIATTRIBFLAGS how, SFGAOF mask, SFGAOF* attributes) {
  Count("GetAttributes");
  return m_inner->GetAttributes(how, mask, attributes);
}

STDMETHODIMP CItemArrayWithDataObject::GetCount(DWORD* count) {
  Count("GetCount");
  return m_inner->GetCount(count);
}

STDMETHODIMP CItemArrayWithDataObject::GetItemAt(DWORD index, IShellItem** item) {
  Count("GetItemAt");
  if (item == nullptr) return E_POINTER;
  *item = nullptr;
  CScopedComPtr<IShellItem> inner;
  const HRESULT result = inner.Received(m_inner->GetItemAt(index, inner.Receive()));
  if (FAILED(result) || !inner) return FAILED(result) ? result : E_FAIL;
  *item = new CCountedItem(this, inner.Get());
  return *item != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CItemArrayWithDataObject::EnumItems(IEnumShellItems** items) {
  Count("EnumItems");
  return m_inner->EnumItems(items);
}

}  // namespace quorvel
