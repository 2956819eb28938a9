#include "tools/BatchingFolderView.h"

#include <utility>
#include <vector>

#include "platform/TaskMemory.h"
#include "tools/SingleInterfaceObject.h"

namespace quorvel {

namespace {

std::string Bytes(PCUITEMID_CHILD child) {
  return std::string(reinterpret_cast<const char*>(child), ILGetSize(reinterpret_cast<PCUIDLIST_RELATIVE>(child)));
}

// The enumerator Items hands out: copies of the view's child ID lists.
class CChildEnumerator final : public CSingleInterfaceObject<IEnumIDList> {
 public:
  CChildEnumerator(CBatchingFolderView* view, std::vector<CTaskMemory<ITEMIDLIST>> children)
      : m_children(std::move(children)) {
    m_view.Hold(view);
  }

  STDMETHOD(Next)(ULONG wanted, PITEMID_CHILD* out, ULONG* fetched) override {
    m_view->Count("IEnumIDList::Next");
    ULONG given = 0;
    while (given < wanted && m_next < m_children.size()) {
      out[given] = reinterpret_cast<PITEMID_CHILD>(
          ILClone(reinterpret_cast<PCUIDLIST_RELATIVE>(m_children[m_next].Get())));
      if (out[given] == nullptr) break;
      ++given;
      ++m_next;
    }
    if (fetched != nullptr) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  STDMETHOD(Skip)(ULONG count) override {
    m_next = m_next + count < m_children.size() ? m_next + count : m_children.size();
    return S_OK;
  }
  STDMETHOD(Reset)() override {
    m_next = 0;
    return S_OK;
  }
  STDMETHOD(Clone)(IEnumIDList** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~CChildEnumerator() override = default;

  CScopedComPtr<CBatchingFolderView> m_view;
  std::vector<CTaskMemory<ITEMIDLIST>> m_children;
  size_t m_next = 0;
};

}  // namespace

CBatchingFolderView::CBatchingFolderView(IFolderView* inner, bool offerBatches) : m_offerBatches(offerBatches) {
  m_inner.Hold(inner);
}

long CBatchingFolderView::TotalCalls() const noexcept {
  long total = 0;
  for (const auto& call : m_calls) total += call.second;
  return total;
}

STDMETHODIMP CBatchingFolderView::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Count("QueryInterface");
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IFolderView)) {
    AddRef();
    *out = static_cast<IFolderView*>(this);
    return S_OK;
  }
  return m_inner->QueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) CBatchingFolderView::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) CBatchingFolderView::Release() {
  const ULONG count = --m_references;
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP CBatchingFolderView::GetCurrentViewMode(UINT* mode) {
  Count("GetCurrentViewMode");
  return m_inner->GetCurrentViewMode(mode);
}
STDMETHODIMP CBatchingFolderView::SetCurrentViewMode(UINT mode) {
  Count("SetCurrentViewMode");
  return m_inner->SetCurrentViewMode(mode);
}
STDMETHODIMP CBatchingFolderView::GetFolder(REFIID iid, void** out) {
  Count("GetFolder");
  return m_inner->GetFolder(iid, out);
}
STDMETHODIMP CBatchingFolderView::Item(int index, PITEMID_CHILD* child) {
  Count("Item");
  return m_inner->Item(index, child);
}
STDMETHODIMP CBatchingFolderView::ItemCount(UINT flags, int* count) {
  Count("ItemCount");
  return m_inner->ItemCount(flags, count);
}

STDMETHODIMP CBatchingFolderView::Items(UINT flags, REFIID iid, void** out) {
  Count("Items");
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!m_offerBatches || (flags & SVGIO_TYPE_MASK) != SVGIO_ALLVIEW || !IsEqualIID(iid, IID_IEnumIDList)) return E_NOTIMPL;
  int count = 0;
  HRESULT result = m_inner->ItemCount(SVGIO_ALLVIEW, &count);
  if (FAILED(result)) return result;
  std::vector<CTaskMemory<ITEMIDLIST>> children;
  for (int index = 0; index < count; ++index) {
    CTaskMemory<ITEMIDLIST> child;
    result = m_inner->Item(index, reinterpret_cast<PITEMID_CHILD*>(child.Receive()));
    if (FAILED(result)) return result;
    children.push_back(std::move(child));
  }
  *out = static_cast<IEnumIDList*>(new CChildEnumerator(this, std::move(children)));
  return S_OK;
}

STDMETHODIMP CBatchingFolderView::GetSelectionMarkedItem(int* item) {
  Count("GetSelectionMarkedItem");
  return m_inner->GetSelectionMarkedItem(item);
}
STDMETHODIMP CBatchingFolderView::GetFocusedItem(int* item) {
  Count("GetFocusedItem");
  return m_inner->GetFocusedItem(item);
}
STDMETHODIMP CBatchingFolderView::GetItemPosition(PCUITEMID_CHILD child, POINT* point) {
  Count("GetItemPosition");
  return m_inner->GetItemPosition(child, point);
}
STDMETHODIMP CBatchingFolderView::GetSpacing(POINT* point) {
  Count("GetSpacing");
  return m_inner->GetSpacing(point);
}
STDMETHODIMP CBatchingFolderView::GetDefaultSpacing(POINT* point) {
  Count("GetDefaultSpacing");
  return m_inner->GetDefaultSpacing(point);
}
STDMETHODIMP CBatchingFolderView::GetAutoArrange() {
  Count("GetAutoArrange");
  return m_inner->GetAutoArrange();
}
STDMETHODIMP CBatchingFolderView::SelectItem(int index, DWORD flags) {
  Count("SelectItem");
  return m_inner->SelectItem(index, flags);
}

STDMETHODIMP CBatchingFolderView::SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY children, POINT* points,
                                                         DWORD flags) {
  Count("SelectAndPositionItems");
  if (!m_offerBatches || points != nullptr) return E_NOTIMPL;
  if (count > 0 && children == nullptr) return E_INVALIDARG;
  int shown = 0;
  HRESULT result = m_inner->ItemCount(SVGIO_ALLVIEW, &shown);
  if (FAILED(result)) return result;
  std::map<std::string, int> indexes;
  for (int index = 0; index < shown; ++index) {
    CTaskMemory<ITEMIDLIST> child;
    if (FAILED(m_inner->Item(index, reinterpret_cast<PITEMID_CHILD*>(child.Receive())))) continue;
    indexes.emplace(Bytes(reinterpret_cast<PCUITEMID_CHILD>(child.Get())), index);
  }
  for (UINT i = 0; i < count; ++i) {
    const auto found = indexes.find(Bytes(children[i]));
    if (found == indexes.end()) return E_INVALIDARG;
    result = m_inner->SelectItem(found->second, flags);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

}  // namespace quorvel
