// The folder scan on a view object that the handler did not make: a view
// that shows entries of several folders (search results, libraries), or
// another folder. Only entries of the clicked files' folder may change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "shellext/MatchingSelection.h"
#include "tests/support/TempFolder.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;

// A view over items given by their full paths, whose folder is the desktop
// (as a search-results view's items name their own folders), or which shows
// a given file-system folder. That folder is given as Wine's view gives it
// (IPersistFolder2), or as Windows' view does by its documentation, as a
// shell item, the items then as the folder's children. It keeps the
// selection and focus that SelectItem leaves; the other calls are not served.
class CItemListView final : public IFolderView {
 public:
  CItemListView(const StringList& paths, const std::wstring& shownFolder, bool folderAsShellItem = false)
      : m_paths(paths), m_shownFolder(shownFolder), m_folderAsShellItem(folderAsShellItem) {
    for (const std::wstring& path : paths) {
      CTaskMemory<ITEMIDLIST> idList;
      EXPECT_EQ(S_OK, SHParseDisplayName(path.c_str(), nullptr, idList.Receive(), 0, nullptr)) << CTempFolder::Narrow(path);
      if (folderAsShellItem) idList.Reset(ILClone(ILFindLastID(idList.Get())));
      m_idLists.push_back(std::move(idList));
    }
    m_selected.assign(paths.size(), false);
  }

  StringList Selected() const {
    StringList names;
    for (size_t i = 0; i < m_paths.size(); ++i) {
      if (m_selected[i]) names.push_back(m_paths[i]);
    }
    return names;
  }
  int Focused() const noexcept { return m_focused; }
  int SelectItemCalls() const noexcept { return m_selectItemCalls; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IFolderView)) return E_NOINTERFACE;
    *out = static_cast<IFolderView*>(this);
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }

  STDMETHOD(GetCurrentViewMode)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(SetCurrentViewMode)(UINT) override { return E_NOTIMPL; }
  STDMETHOD(GetFolder)(REFIID iid, void** out) override {
    *out = nullptr;
    CScopedComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive()))) return E_FAIL;
    if (IsEqualIID(iid, IID_IShellFolder)) return desktop->QueryInterface(iid, out);
    if (m_shownFolder.empty()) return E_NOINTERFACE;
    if (m_folderAsShellItem) {
      if (!IsEqualIID(iid, IID_IShellItem)) return E_NOINTERFACE;
      return SHCreateItemFromParsingName(m_shownFolder.c_str(), nullptr, iid, out);
    }
    if (!IsEqualIID(iid, IID_IPersistFolder2)) return E_NOINTERFACE;
    CTaskMemory<ITEMIDLIST> folder;
    if (FAILED(SHParseDisplayName(m_shownFolder.c_str(), nullptr, folder.Receive(), 0, nullptr))) return E_FAIL;
    return desktop->BindToObject(folder.Get(), nullptr, iid, out);
  }
  STDMETHOD(Item)(int index, PITEMID_CHILD* out) override {
    *out = nullptr;
    if (index < 0 || index >= static_cast<int>(m_idLists.size())) return E_INVALIDARG;
    *out = reinterpret_cast<PITEMID_CHILD>(ILClone(m_idLists[static_cast<size_t>(index)].Get()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHOD(ItemCount)(UINT, int* count) override {
    *count = static_cast<int>(m_idLists.size());
    return S_OK;
  }
  STDMETHOD(Items)(UINT, REFIID, void**) override { return E_NOTIMPL; }
  STDMETHOD(GetSelectionMarkedItem)(int*) override { return E_NOTIMPL; }
  STDMETHOD(GetFocusedItem)(int*) override { return E_NOTIMPL; }
  STDMETHOD(GetItemPosition)(PCUITEMID_CHILD, POINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetSpacing)(POINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetDefaultSpacing)(POINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetAutoArrange)() override { return E_NOTIMPL; }
  STDMETHOD(SelectItem)(int index, DWORD flags) override {
    ++m_selectItemCalls;
    if (index < 0 || index >= static_cast<int>(m_selected.size())) return E_INVALIDARG;
    if ((flags & SVSI_DESELECTOTHERS) != 0) m_selected.assign(m_selected.size(), false);
    m_selected[static_cast<size_t>(index)] = (flags & SVSI_SELECT) != 0;
    if ((flags & SVSI_FOCUSED) != 0) m_focused = index;
    return S_OK;
  }
  STDMETHOD(SelectAndPositionItems)(UINT, PCUITEMID_CHILD_ARRAY, POINT*, DWORD) override { return E_NOTIMPL; }

 private:
  StringList m_paths;
  std::wstring m_shownFolder;
  bool m_folderAsShellItem;
  std::vector<CTaskMemory<ITEMIDLIST>> m_idLists;
  std::vector<bool> m_selected;
  int m_focused = -1;
  int m_selectItemCalls = 0;
};

class MixedFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc"}) m_clicked.AddFile(name);
    for (const wchar_t* name : {L"a.txt", L"d.txt"}) m_other.AddFile(name);
  }

  bool Scan(CItemListView& view, const std::wstring& folder) {
    return SelectMatchingViewItems(&view, CWideString(AsUtf16((folder + L"\\").c_str())),
                                                  CWideString(u"*.txt"));
  }

  CTempFolder m_clicked;
  CTempFolder m_other;
};

TEST_F(MixedFolders, SearchResultsChangeOnlyEntriesOfTheClickedFolder) {
  CItemListView view({m_other.PathOf(L"a.txt"), m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"c.doc"),
                      m_other.PathOf(L"d.txt"), m_clicked.PathOf(L"b.TXT")},
                     L"");
  EXPECT_TRUE(Scan(view, m_clicked.Path()));
  EXPECT_EQ((StringList{m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"b.TXT")}), view.Selected());
  std::wstring lastListed;
  for (const std::wstring& name : m_clicked.List(L"*.txt")) lastListed = m_clicked.PathOf(name);
  EXPECT_EQ(lastListed == m_clicked.PathOf(L"a.txt") ? 1 : 4, view.Focused()) << "the last match in listing order";

  // The folder's letter case does not matter; the entries' own do.
  std::wstring upper = m_clicked.Path();
  CharUpperW(&upper[0]);
  CItemListView again({m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"b.TXT")}, L"");
  EXPECT_TRUE(Scan(again, upper));
  EXPECT_EQ((StringList{m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"b.TXT")}), again.Selected());
}

TEST_F(MixedFolders, AViewOfNeitherTheFolderNorItsEntriesIsLeftAlone) {
  struct Case {
    const char* what;
    StringList items;
    std::wstring shown;
  };
  const Case cases[] = {
      {"another folder", {m_other.PathOf(L"a.txt"), m_other.PathOf(L"d.txt")}, m_other.Path()},
      {"results of another folder only", {m_other.PathOf(L"a.txt"), m_other.PathOf(L"d.txt")}, L""},
      // A view of another folder is not searched for items of this one.
      {"another folder, whatever it holds", {m_clicked.PathOf(L"a.txt")}, m_other.Path()},
  };
  for (const Case& c : cases) {
    CItemListView view(c.items, c.shown);
    EXPECT_FALSE(Scan(view, m_clicked.Path())) << c.what;
    EXPECT_EQ(0, view.SelectItemCalls()) << c.what;
  }

  // The folder itself, even with nothing of it shown any more, is served:
  // its selection is cleared.
  CItemListView emptied({m_other.PathOf(L"a.txt")}, m_clicked.Path());
  EXPECT_TRUE(Scan(emptied, m_clicked.Path()));
  EXPECT_EQ(StringList{}, emptied.Selected());
}

// A view that names its folder by a shell item, as Windows' does: the
// folder is told from it, and its items are named in this process.
TEST_F(MixedFolders, AViewNamingItsFolderByShellItem) {
  CItemListView clicked({m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"c.doc"), m_clicked.PathOf(L"b.TXT")},
                        m_clicked.Path(), true);
  EXPECT_TRUE(Scan(clicked, m_clicked.Path()));
  EXPECT_EQ((StringList{m_clicked.PathOf(L"a.txt"), m_clicked.PathOf(L"b.TXT")}), clicked.Selected());

  CItemListView other({m_other.PathOf(L"a.txt"), m_other.PathOf(L"d.txt")}, m_other.Path(), true);
  EXPECT_FALSE(Scan(other, m_clicked.Path()));
  EXPECT_EQ(0, other.SelectItemCalls());
}

}  // namespace
}  // namespace quorvel
