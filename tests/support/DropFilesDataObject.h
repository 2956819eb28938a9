// CDropFilesDataObject: a data object that serves a file-drop list (CF_HDROP)
// built as a real DROPFILES block, and keeps count of what a handler does with
// it: its references, its GetData calls, and every medium it handed out,
// which must come back released and unlocked.
//
// The object lives on the test's stack; its count starts at 1 (the test's
// own reference) and must end there.
#pragma once

#include <string>
#include <vector>

#include "platform/WinApi.h"

namespace quorvel {

class CDropFilesDataObject : public IDataObject {
 public:
  enum class Kind {
    DropList,       // CF_HDROP in global memory
    NoDropList,     // GetData fails: the items offer no drop list
    NullMemory,     // GetData succeeds with a null global memory handle
    StreamMedium,   // GetData succeeds with a medium of another type (a stream)
  };

  explicit CDropFilesDataObject(std::vector<std::wstring> paths, Kind kind = Kind::DropList)
      : m_paths(std::move(paths)), m_kind(kind) {}
  CDropFilesDataObject(const CDropFilesDataObject&) = delete;
  CDropFilesDataObject& operator=(const CDropFilesDataObject&) = delete;
  virtual ~CDropFilesDataObject() {
    if (m_stream != nullptr) m_stream->Release();
  }

  LONG References() const noexcept { return m_references; }
  int GetDataCalls() const noexcept { return m_getDataCalls; }
  int OutstandingMedia() const noexcept { return m_outstanding; }
  int MediaReleasedWhileLocked() const noexcept { return m_releasedLocked; }
  // References to the stream medium besides this object's own.
  LONG OutsideStreamReferences() const {
    if (m_stream == nullptr) return 0;
    m_stream->AddRef();
    return static_cast<LONG>(m_stream->Release()) - 1;
  }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++m_references); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--m_references); }

  STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) override {
    ++m_getDataCalls;
    if (format == nullptr || medium == nullptr) return E_INVALIDARG;
    if (format->cfFormat != CF_HDROP || (format->tymed & TYMED_HGLOBAL) == 0) return DV_E_FORMATETC;
    switch (m_kind) {
      case Kind::NoDropList:
        return DV_E_FORMATETC;
      case Kind::NullMemory:
        *medium = STGMEDIUM();
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = nullptr;
        return S_OK;
      case Kind::StreamMedium:
        if (m_stream == nullptr && FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &m_stream))) return E_OUTOFMEMORY;
        *medium = STGMEDIUM();
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = m_stream;
        m_stream->AddRef();
        return S_OK;
      case Kind::DropList:
        break;
    }
    const HGLOBAL memory = MakeDropFiles();
    if (memory == nullptr) return E_OUTOFMEMORY;
    *medium = STGMEDIUM();
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = new CMediumRelease(this, memory);
    if (medium->pUnkForRelease == nullptr) {
      GlobalFree(memory);
      *medium = STGMEDIUM();
      return E_OUTOFMEMORY;
    }
    ++m_outstanding;
    return S_OK;
  }
  STDMETHOD(GetDataHere)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHOD(QueryGetData)(FORMATETC* format) override {
    return format != nullptr && format->cfFormat == CF_HDROP && m_kind != Kind::NoDropList ? S_OK : DV_E_FORMATETC;
  }
  STDMETHOD(GetCanonicalFormatEtc)(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHOD(SetData)(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHOD(EnumFormatEtc)(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHOD(DAdvise)(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHOD(DUnadvise)(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHOD(EnumDAdvise)(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  // The release object of one medium: ReleaseStgMedium calls its Release
  // instead of freeing the memory, so the test sees whether it was unlocked.
  class CMediumRelease : public IUnknown {
   public:
    CMediumRelease(CDropFilesDataObject* owner, HGLOBAL memory) : m_owner(owner), m_memory(memory) {}
    virtual ~CMediumRelease() = default;
    // It stands in for the shell's object, whose memory is not the handler's:
    // the failures that tests inject into operator new leave it alone, and
    // GetData, a COM method, never throws.
    static void* operator new(size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }
    static void operator delete(void* memory) noexcept { HeapFree(GetProcessHeap(), 0, memory); }
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
      *out = this;
      AddRef();
      return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++m_references); }
    STDMETHOD_(ULONG, Release)() override {
      const LONG count = --m_references;
      if (count == 0) {
        if ((GlobalFlags(m_memory) & GMEM_LOCKCOUNT) != 0) ++m_owner->m_releasedLocked;
        GlobalFree(m_memory);
        --m_owner->m_outstanding;
        delete this;
      }
      return static_cast<ULONG>(count);
    }

   private:
    CDropFilesDataObject* m_owner;
    HGLOBAL m_memory;
    LONG m_references = 1;
  };

  HGLOBAL MakeDropFiles() const {
    size_t units = 1;  // the list's final terminator
    for (const std::wstring& path : m_paths) units += path.size() + 1;
    if (m_paths.empty()) units = 2;  // an empty list is two terminators
    const SIZE_T bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (memory == nullptr) return nullptr;
    auto* block = static_cast<DROPFILES*>(GlobalLock(memory));
    block->pFiles = sizeof(DROPFILES);
    block->fWide = TRUE;
    wchar_t* text = reinterpret_cast<wchar_t*>(block + 1);
    for (const std::wstring& path : m_paths) {
      path.copy(text, path.size());
      text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
  }

  std::vector<std::wstring> m_paths;
  Kind m_kind;
  LONG m_references = 1;
  int m_getDataCalls = 0;
  int m_outstanding = 0;
  int m_releasedLocked = 0;
  IStream* m_stream = nullptr;
};

}  // namespace quorvel
