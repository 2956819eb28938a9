// CFolderWindow: a top-level window that shows a folder in the platform's own
// folder view (the ExplorerBrowser control, which hosts SHELLDLL_DefView and
// its SysListView32), and does for a context-menu handler what the shell's
// file manager does around a right-click: it selects the clicked entries,
// makes the shell's data object for them, and reads back the view's selection.
// Used by folder-host.exe and the end-to-end tests; the calling thread must be
// in a single-threaded apartment (OleInitialize).
#pragma once

#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/TaskMemory.h"
#include "platform/WinApi.h"

namespace quorvel {

class CFolderWindow {
 public:
  // One item of the view as the list control shows it.
  struct ItemState {
    std::wstring name;  // the entry's file name
    bool selected;
    bool focused;
  };

  // Where the window opens on the screen. Windows open at the top left; a
  // window to be pictured opens in the bottom right corner, where the windows
  // of tests running beside it (at most 720 x 480) cannot cover it.
  enum class Placement { kTopLeft, kBottomRight };
  static constexpr DWORD kDefaultPopulateTimeout = 10000;

  CFolderWindow() = default;
  CFolderWindow(const CFolderWindow&) = delete;
  CFolderWindow& operator=(const CFolderWindow&) = delete;
  ~CFolderWindow();

  // Opens a visible window of the given size showing `folder` (a full path)
  // and waits until the view lists every entry the folder enumerates, at most
  // `populateTimeout` milliseconds. Failures leave a message in GetError().
  HRESULT Open(const std::wstring& folder, int width, int height, DWORD populateTimeout = kDefaultPopulateTimeout,
               Placement placement = Placement::kTopLeft);

  HWND GetFrame() const noexcept { return m_frame.Get(); }
  HWND GetFolderView() const noexcept;  // the view's own window (SHELLDLL_DefView)
  HWND GetListView() const noexcept;    // the list control inside it
  PCIDLIST_ABSOLUTE GetFolderIdList() const noexcept { return m_folderIdList.Get(); }
  IExplorerBrowser* GetBrowser() const noexcept { return m_browser.Get(); }
  IShellView* GetView() const noexcept { return m_view.Get(); }

  // Selects the named entries in the view as a right-click does: the first
  // takes the focus and the other items are deselected first, unless
  // `keepOthers` is set.
  HRESULT SelectEntries(const std::vector<std::wstring>& names, bool keepOthers);

  // The shell's own data object for the named entries (IShellFolder::GetUIObjectOf).
  HRESULT CreateDataObject(const std::vector<std::wstring>& names, IDataObject** out);

  // Every item of the list control in view order, with its selection and
  // focus read by LVM_GETITEMSTATE.
  HRESULT ReadItemStates(std::vector<ItemState>* out);

  // Saves a picture of the whole window as a 24-bit .bmp file.
  HRESULT SavePicture(const std::wstring& path);

  // Handles this thread's pending window messages for `milliseconds`.
  static void PumpMessages(DWORD milliseconds);

  const std::wstring& GetError() const noexcept { return m_error; }

 private:
  HRESULT Fail(HRESULT result, const std::wstring& message);
  HRESULT WaitForEntries(DWORD timeoutMilliseconds);
  HRESULT ParseEntry(const std::wstring& name, CTaskMemory<ITEMIDLIST>* out);
  HRESULT ItemName(int index, std::wstring* out);

  CScopedWindow m_frame;
  CScopedComPtr<IExplorerBrowser> m_browser;
  CScopedComPtr<IShellView> m_view;
  CScopedComPtr<IShellFolder> m_folder;
  CTaskMemory<ITEMIDLIST> m_folderIdList;
  std::wstring m_error;
};

// "0x80070057": a result code as the reports print it.
std::wstring FormatResult(HRESULT result);

}  // namespace quorvel
