// IDispatchImpl: the four IDispatch operations of a dual interface, answered
// from the one process-wide type-information holder of that interface.
#pragma once

#include "platform/WinApi.h"
#include "server/TypeInfoHolder.h"

namespace quorvel {

template <class Interface, const IID* InterfaceId, const GUID* LibraryId, WORD MajorVersion, WORD MinorVersion,
          class Holder = CComTypeInfoHolder>
class IDispatchImpl : public Interface {
 public:
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** typeInfo) override {
    return s_typeInfo.GetTypeInfo(index, locale, typeInfo);
  }
  // The interface identifier argument is reserved and not used.
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds) override {
    return s_typeInfo.GetIDsOfNames(names, nameCount, locale, dispIds);
  }
  STDMETHOD(Invoke)(DISPID dispId, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                    EXCEPINFO* exception, UINT* argumentError) override {
    return s_typeInfo.Invoke(static_cast<Interface*>(this), dispId, locale, flags, parameters, result, exception,
                             argumentError);
  }

  static Holder& TypeInfoHolder() noexcept { return s_typeInfo; }

 private:
  static Holder s_typeInfo;
};

template <class Interface, const IID* InterfaceId, const GUID* LibraryId, WORD MajorVersion, WORD MinorVersion,
          class Holder>
Holder IDispatchImpl<Interface, InterfaceId, LibraryId, MajorVersion, MinorVersion, Holder>::s_typeInfo{
    InterfaceId, LibraryId, MajorVersion, MinorVersion};

}  // namespace quorvel
