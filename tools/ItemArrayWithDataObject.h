// CItemArrayWithDataObject: a shell item array that hands out a data object
// for its items (BindToHandler with BHID_DataObject), as Windows' array does
// and Wine's does not (it answers E_NOTIMPL), built over a real array in the
// array's own process. It counts the calls made on it, on the items it hands
// out and on the data objects, which are the calls that cross processes when
// the command runs in the surrogate; QueryInterface and reference counting
// are not counted.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "tools/SingleInterfaceObject.h"

namespace quorvel {

class CItemArrayWithDataObject final : public CSingleInterfaceObject<IShellItemArray> {
 public:
  using CallCounts = std::map<std::string, long, std::less<>>;

  // An array with one reference, which the caller owns, over `inner`. It
  // hands out `dataObject` (the shell's own for the same items) for
  // BHID_DataObject; with none, it passes that request on to `inner` too.
  CItemArrayWithDataObject(IShellItemArray* inner, IDataObject* dataObject);

  // The calls by name, every name present from the start ("GetItemAt",
  // "IShellItem::GetDisplayName", "IDataObject::GetData", ...): counting
  // allocates nothing, so that it works while allocations are made to fail.
  const CallCounts& Calls() const noexcept { return m_calls; }
  long TotalCalls() const noexcept;
  void ForgetCalls() noexcept;
  void Count(const char* call) noexcept;

  STDMETHOD(BindToHandler)(IBindCtx* context, REFGUID handler, REFIID iid, void** out) override;
  STDMETHOD(GetPropertyStore)(GETPROPERTYSTOREFLAGS flags, REFIID iid, void** out) override;
  STDMETHOD(GetPropertyDescriptionList)(REFPROPERTYKEY type, REFIID iid, void** out) override;
  STDMETHOD(GetAttributes)(SIATTRIBFLAGS how, SFGAOF mask, SFGAOF* attributes) override;
  STDMETHOD(GetCount)(DWORD* count) override;
  // The inner array's item, in a wrapper that counts the calls on it.
  STDMETHOD(GetItemAt)(DWORD index, IShellItem** item) override;
  // The inner array's enumerator: the items it gives are not counted.
  STDMETHOD(EnumItems)(IEnumShellItems** items) override;

 private:
  ~CItemArrayWithDataObject() override = default;

  CScopedComPtr<IShellItemArray> m_inner;
  CScopedComPtr<IDataObject> m_dataObject;
  CallCounts m_calls;
};

}  // namespace quorvel
