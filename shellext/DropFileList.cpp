#include "shellext/DropFileList.h"

#include <memory>

#include "platform/ScopedStorageMedium.h"

namespace quorvel {

namespace {

// Room for the longest path Windows names, terminator included.
constexpr UINT kPathBufferUnits = 32767;

}  // namespace

HRESULT ReadDropFileList(IDataObject* data, UINT most, SelectionProcessor* selection) {
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  CScopedStorageMedium medium;
  if (FAILED(medium.Received(data->GetData(&format, medium.Receive())))) return E_INVALIDARG;
  // Only global memory can be locked; a medium of another kind is refused.
  if (medium.Get().tymed != TYMED_HGLOBAL) return E_INVALIDARG;

  CScopedGlobalLock lock(medium.Get().hGlobal);
  const HDROP drop = static_cast<HDROP>(lock.Get());
  if (drop == nullptr) return E_INVALIDARG;

  std::unique_ptr<wchar_t[]> path(new wchar_t[kPathBufferUnits]);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, path.get(), kPathBufferUnits);
  if (count == 0 || count > most) return E_INVALIDARG;

  selection->Clear();
  for (UINT index = 0; index < count; ++index) {
    UINT length = DragQueryFileW(drop, index, path.get(), kPathBufferUnits);
    if (length > kPathBufferUnits - 1) length = kPathBufferUnits - 1;
    selection->AddFile(CWideString(AsUtf16(path.get()), static_cast<int32_t>(length)));
  }
  return S_OK;
}

}  // namespace quorvel
