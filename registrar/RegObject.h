// CRegObject: the registrar of one script run. It holds the replacement table
// that variable expansion reads. It is not reference-counted: the run that
// needs it makes it a local object and lends it out only for the length of a
// call.
#pragma once

#include <cstdint>

#include "base/WideStringArray.h"
#include "registrar/RegistrarBase.h"

namespace quorvel {

class CRegObject final : public IRegistrarBase {
 public:
  CRegObject() noexcept = default;
  ~CRegObject() override;  // empties the table
  CRegObject(const CRegObject&) = delete;
  CRegObject& operator=(const CRegObject&) = delete;

  // E_NOTIMPL always; *out is cleared.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  // Count nothing: 1 and 0, and the object is never destroyed by Release.
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // Stores a copy of the pair behind the entries already present, even when
  // the name is there already. E_INVALIDARG for a null text, E_OUTOFMEMORY
  // with the table unchanged when a copy cannot be made.
  HRESULT STDMETHODCALLTYPE AddVariable(const char16_t* name, const char16_t* value) override;
  HRESULT STDMETHODCALLTYPE ClearVariables() override;

  // The value of the first entry whose name matches without regard to case,
  // or null. Valid until the table changes.
  const char16_t* FindVariable(const char16_t* name) const noexcept;

  int32_t GetVariableCount() const noexcept { return m_count; }

 private:
  CWideStringArray m_names;
  CWideStringArray m_values;
  int32_t m_count = 0;
};

}  // namespace quorvel
