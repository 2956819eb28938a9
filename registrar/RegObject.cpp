#include "registrar/RegObject.h"

#include "base/Failure.h"
#include "platform/TextServices.h"

namespace quorvel {

CRegObject::~CRegObject() { ClearVariables(); }

HRESULT STDMETHODCALLTYPE CRegObject::QueryInterface(REFIID, void** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE CRegObject::AddRef() { return 1; }

ULONG STDMETHODCALLTYPE CRegObject::Release() { return 0; }

HRESULT STDMETHODCALLTYPE CRegObject::AddVariable(const char16_t* name, const char16_t* value) {
  try {
    if (name == nullptr || value == nullptr) return E_INVALIDARG;
    const CWideString nameCopy(name);
    const CWideString valueCopy(value);
    m_names.Add(nameCopy);
    try {
      m_values.Add(valueCopy);
    } catch (...) {
      // Both arrays keep the same count: take the name back out.
      m_names.RemoveAt(m_names.GetCount() - 1);
      throw;
    }
    ++m_count;
    return S_OK;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

HRESULT STDMETHODCALLTYPE CRegObject::ClearVariables() {
  m_names.RemoveAll();
  m_values.RemoveAll();
  m_count = 0;
  return S_OK;
}

const char16_t* CRegObject::FindVariable(const char16_t* name) const noexcept {
  if (name == nullptr) return nullptr;
  for (int32_t i = 0; i < m_count; ++i) {
    if (CompareTextNoCase(m_names.GetAt(i).GetText(), name) == 0) return m_values.GetAt(i).GetText();
  }
  return nullptr;
}

}  // namespace quorvel
