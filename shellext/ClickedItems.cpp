#include "shellext/ClickedItems.h"

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "shellext/DropFileList.h"
#include "shellext/SelectAllCommand.h"

namespace quorvel {

namespace {

// The file-system path of the array's item `index`, or null.
CTaskMemory<wchar_t> ItemPath(IShellItemArray* items, DWORD index) {
  CTaskMemory<wchar_t> path;
  CScopedComPtr<IShellItem> item;
  if (FAILED(item.Received(items->GetItemAt(index, item.Receive()))) || !item) return path;
  path.Received(item->GetDisplayName(SIGDN_FILESYSPATH, path.Receive()));
  return path;
}

// Every path in one crossing: the drop list of the array's data object, the
// list the classic handler reads. Only where the first item has a path of its
// own, `firstPath`: another namespace's data object may list copies made for
// the occasion (and making them may take long). The list is taken only if it
// names exactly `count` paths, `firstPath` first. Asking every item for its
// attributes instead would cost Explorer a call per item. False, with
// `selection` empty, otherwise.
bool ReadFromDataObject(IShellItemArray* items, DWORD count, const wchar_t* firstPath, SelectionProcessor* selection) {
  CScopedComPtr<IDataObject> data;
  if (FAILED(data.Received(items->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, data.ReceiveVoid()))) ||
      !data) {
    return false;
  }
  if (FAILED(ReadDropFileList(data.Get(), count, selection))) return false;
  const CWideStringArray& paths = selection->GetFiles();
  if (paths.GetCount() == static_cast<int32_t>(count) && paths.GetAt(0) == AsUtf16(firstPath)) return true;
  selection->Clear();
  return false;
}

// Each item's file-system path, one item at a time, the first's given (null:
// it has none). Items outside the file system (a printer, a control panel
// page) have no path; the classic handler's drop list leaves them out as well.
void ReadItemByItem(IShellItemArray* items, DWORD count, const wchar_t* firstPath, SelectionProcessor* selection) {
  if (firstPath != nullptr) selection->AddFile(CWideString(AsUtf16(firstPath)));
  for (DWORD index = 1; index < count; ++index) {
    const CTaskMemory<wchar_t> path = ItemPath(items, index);
    if (path) selection->AddFile(CWideString(AsUtf16(path.Get())));
  }
}

}  // namespace

HRESULT AnalyseClickedItems(IShellItemArray* items, SelectionProcessor* selection) {
  selection->Clear();
  if (items == nullptr) return E_INVALIDARG;
  DWORD count = 0;
  const HRESULT counted = items->GetCount(&count);
  if (FAILED(counted)) return counted;
  if (count == 0 || count > kMaxClickedFiles) return E_INVALIDARG;

  const CTaskMemory<wchar_t> firstPath = ItemPath(items, 0);
  if (!firstPath || !ReadFromDataObject(items, count, firstPath.Get(), selection)) {
    ReadItemByItem(items, count, firstPath.Get(), selection);
  }
  if (selection->GetFiles().GetCount() == 0) return E_INVALIDARG;
  selection->Analyse();
  return S_OK;
}

}  // namespace quorvel
