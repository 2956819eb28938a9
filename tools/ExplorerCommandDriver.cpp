#include "tools/ExplorerCommandDriver.h"

#include "platform/TaskMemory.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "tools/GivenSite.h"
#include "tools/InterfacesKeptRegistered.h"

namespace quorvel {

namespace {

HRESULT Failed(HRESULT result, const std::wstring& step, std::wstring* error) {
  *error = step + L" failed: " + FormatResult(result);
  return FAILED(result) ? result : E_FAIL;
}

// Asks for a string that the command answers in task memory.
template <typename Call>
HRESULT TakeText(Call&& call, std::wstring* out) {
  CTaskMemory<wchar_t> text;
  const HRESULT result = call(text.Receive());
  if (SUCCEEDED(result) && text) *out = text.Get();
  return result;
}

// The shell's data object for the window's entries `names`, and the
// platform's item array made from it.
HRESULT CreateItems(CFolderWindow& window, const std::vector<std::wstring>& names, IDataObject** dataObject,
                    IShellItemArray** items, std::wstring* error) {
  HRESULT result = window.CreateDataObject(names, dataObject);
  if (FAILED(result)) return Failed(result, L"the data object of the clicked entries: " + window.GetError(), error);
  result = SHCreateShellItemArrayFromDataObject(*dataObject, IID_IShellItemArray, reinterpret_cast<void**>(items));
  if (FAILED(result)) return Failed(result, L"SHCreateShellItemArrayFromDataObject", error);
  return S_OK;
}

// Every interface this process serves to a command in another process
// during a right-click: the items, the site, the view and what it hands out.
void KeepServedInterfaces(CFolderWindow& window, IShellItemArray* items, CFolderViewSite* site,
                          CInterfacesKeptRegistered* kept) {
  // No call on the items: tests count them.
  kept->Keep(items, IID_IShellItemArray);
  CScopedComPtr<IShellItem> folder;
  if (SUCCEEDED(SHCreateItemFromIDList(window.GetFolderIdList(), IID_IShellItem, folder.ReceiveVoid()))) {
    kept->Keep(folder.Get(), IID_IShellItem);
  }
  kept->Keep(site, IID_IServiceProvider);
  kept->Keep(window.GetBrowser(), IID_IShellBrowser);
  IShellView* view = window.GetView();
  for (const IID& iid : {IID_IShellView, IID_IFolderView, IID_IFolderView2, IID_IPersistFolder2}) kept->Keep(view, iid);
  CScopedComPtr<IFolderView> folderView;
  CScopedComPtr<IEnumIDList> entries;
  if (view != nullptr && SUCCEEDED(view->QueryInterface(IID_IFolderView, folderView.ReceiveVoid())) &&
      SUCCEEDED(folderView->Items(SVGIO_ALLVIEW, IID_IEnumIDList, entries.ReceiveVoid()))) {
    kept->Keep(entries.Get(), IID_IEnumIDList);
  }
}

}  // namespace

HRESULT CreateItemArray(CFolderWindow& window, const std::vector<std::wstring>& names, IShellItemArray** out,
                        std::wstring* error) {
  *out = nullptr;
  CScopedComPtr<IDataObject> dataObject;
  return CreateItems(window, names, dataObject.Receive(), out, error);
}

HRESULT CreateItemArrayWithDataObject(CFolderWindow& window, const std::vector<std::wstring>& names,
                                      CItemArrayWithDataObject** out, std::wstring* error) {
  *out = nullptr;
  CScopedComPtr<IDataObject> dataObject;
  CScopedComPtr<IShellItemArray> items;
  const HRESULT result = CreateItems(window, names, dataObject.Receive(), items.Receive(), error);
  if (FAILED(result)) return result;
  *out = new CItemArrayWithDataObject(items.Get(), dataObject.Get());
  return S_OK;
}

HRESULT DriveExplorerCommand(IExplorerCommand* command, CFolderWindow& window, IShellItemArray* items,
                             const ExplorerCommandOptions& options, ExplorerCommandReport* report,
                             std::wstring* error) {
  CScopedComPtr<CFolderViewSite> site;
  // Declared before the site is given, so that it goes after SetSite(NULL).
  CInterfacesKeptRegistered kept;
  CGivenSite givenSite;
  if (options.giveSite) {
    if (options.site != nullptr) {
      site.Hold(options.site);
    } else {
      site.Reset(new CFolderViewSite(options.siteBrowser != nullptr ? options.siteBrowser : window.GetBrowser(),
                                     options.services));
    }
  }
  if (IsProxy(command)) KeepServedInterfaces(window, items, site.Get(), &kept);
  if (options.giveSite) {
    const HRESULT result = givenSite.Give(command, site.Get());
    if (FAILED(result)) return Failed(result, L"SetSite", error);
  }

  report->getState = command->GetState(items, FALSE, &report->state);
  if (FAILED(report->getState)) return Failed(report->getState, L"GetState", error);
  if (report->state & ECS_HIDDEN) return S_OK;

  report->getTitle = TakeText([&](LPWSTR* text) { return command->GetTitle(items, text); }, &report->title);
  if (FAILED(report->getTitle)) return Failed(report->getTitle, L"GetTitle", error);
  report->getToolTip = TakeText([&](LPWSTR* text) { return command->GetToolTip(items, text); }, &report->toolTip);
  if (FAILED(report->getToolTip)) return Failed(report->getToolTip, L"GetToolTip", error);
  report->getIcon = TakeText([&](LPWSTR* text) { return command->GetIcon(items, text); }, &report->icon);
  if (FAILED(report->getIcon)) return Failed(report->getIcon, L"GetIcon", error);
  report->getCanonicalName = command->GetCanonicalName(&report->canonicalName);
  if (FAILED(report->getCanonicalName)) return Failed(report->getCanonicalName, L"GetCanonicalName", error);
  report->getFlags = command->GetFlags(&report->flags);
  if (FAILED(report->getFlags)) return Failed(report->getFlags, L"GetFlags", error);

  if (options.choose) {
    report->invoke = command->Invoke(items, nullptr);
    if (FAILED(report->invoke)) return Failed(report->invoke, L"Invoke", error);
  }
  report->viewRoute = site && site->HandedOutBrowser() ? L"browser" : site && site->HandedOutView() ? L"view" : L"none";
  return S_OK;
}

}  // namespace quorvel
