#include "shellext/ClickedItems.h"

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "shellext/DropFileList.h"
#include "shellext/SelectAllCommand.h"

namespace quorvel {

namespace {

// Every path in one crossing: the drop list of the array's data object, the
// list the classic handler reads. Only where every item is in the file
// system (another namespace's data object may list copies made for the
// occasion, not the items' own paths), and only a list of exactly `count`
// paths is taken. False, with `selection` empty, otherwise.
bool ReadFromDataObject(IShellItemArray* items, DWORD count, SelectionProcessor* selection) {
  SFGAOF attributes = 0;
  if (items->GetAttributes(SIATTRIBFLAGS_AND, SFGAO_FILESYSTEM, &attributes) != S_OK ||
      (attributes & SFGAO_FILESYSTEM) == 0) {
    return false;
  }
  CScopedComPtr<IDataObject> data;
  if (FAILED(data.Received(items->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, data.ReceiveVoid()))) ||
      !data) {
    return false;
  }
  if (FAILED(ReadDropFileList(data.Get(), count, selection))) return false;
  if (selection->GetFiles().GetCount() == static_cast<int32_t>(count)) return true;
  selection->Clear();
  return false;
}

// Each item's file-system path, one item at a time; false when none has one.
bool ReadItemByItem(IShellItemArray* items, DWORD count, SelectionProcessor* selection) {
  bool anyPath = false;
  for (DWORD index = 0; index < count; ++index) {
    CScopedComPtr<IShellItem> item;
    if (FAILED(item.Received(items->GetItemAt(index, item.Receive()))) || !item) continue;
    // Items outside the file system (a printer, a control panel page) have
    // no path; the classic handler's drop list leaves them out as well.
    CTaskMemory<wchar_t> path;
    if (FAILED(path.Received(item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive()))) || !path) continue;
    selection->AddFile(CWideString(AsUtf16(path.Get())));
    anyPath = true;
  }
  return anyPath;
}

}  // namespace

HRESULT AnalyseClickedItems(IShellItemArray* items, SelectionProcessor* selection) {
  selection->Clear();
  if (items == nullptr) return E_INVALIDARG;
  DWORD count = 0;
  const HRESULT counted = items->GetCount(&count);
  if (FAILED(counted)) return counted;
  if (count == 0 || count > kMaxClickedFiles) return E_INVALIDARG;

  if (!ReadFromDataObject(items, count, selection) && !ReadItemByItem(items, count, selection)) return E_INVALIDARG;
  selection->Analyse();
  return S_OK;
}

}  // namespace quorvel
