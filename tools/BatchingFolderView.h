// CBatchingFolderView: a folder view that offers the batched calls Windows'
// view offers and Wine's does not (IFolderView::Items into an IEnumIDList,
// SelectAndPositionItems for many items at once), built over a real view in
// the view's own process. It counts the calls made on it, which are the
// calls that would cross processes when the command runs in the surrogate.
#pragma once

#include <map>
#include <string>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

class CBatchingFolderView final : public IFolderView {
 public:
  // A view with one reference, which the caller owns. Without `offerBatches`
  // it passes every call on and answers the batched calls E_NOTIMPL, as
  // Wine's own view does, still counting them.
  explicit CBatchingFolderView(IFolderView* inner, bool offerBatches = true);
  CBatchingFolderView(const CBatchingFolderView&) = delete;
  CBatchingFolderView& operator=(const CBatchingFolderView&) = delete;

  // The calls made on the view and on the enumerators it handed out, by name.
  const std::map<std::string, long>& Calls() const noexcept { return m_calls; }
  long TotalCalls() const noexcept;
  void ForgetCalls() noexcept { m_calls.clear(); }
  void Count(const char* call) { ++m_calls[call]; }

  // IUnknown: IFolderView is this object; other interfaces (IFolderView2,
  // IOleWindow) are the inner view's.
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  STDMETHOD(GetCurrentViewMode)(UINT* mode) override;
  STDMETHOD(SetCurrentViewMode)(UINT mode) override;
  STDMETHOD(GetFolder)(REFIID iid, void** out) override;
  STDMETHOD(Item)(int index, PITEMID_CHILD* child) override;
  STDMETHOD(ItemCount)(UINT flags, int* count) override;
  // SVGIO_ALLVIEW as IID_IEnumIDList, in view order; anything else E_NOTIMPL.
  STDMETHOD(Items)(UINT flags, REFIID iid, void** out) override;
  STDMETHOD(GetSelectionMarkedItem)(int* item) override;
  STDMETHOD(GetFocusedItem)(int* item) override;
  STDMETHOD(GetItemPosition)(PCUITEMID_CHILD child, POINT* point) override;
  STDMETHOD(GetSpacing)(POINT* point) override;
  STDMETHOD(GetDefaultSpacing)(POINT* point) override;
  STDMETHOD(GetAutoArrange)() override;
  STDMETHOD(SelectItem)(int index, DWORD flags) override;
  // Each item found among the view's by its ID list, then selected with
  // `flags`; positions are not supported.
  STDMETHOD(SelectAndPositionItems)(UINT count, PCUITEMID_CHILD_ARRAY children, POINT* points, DWORD flags) override;

 private:
  ~CBatchingFolderView() = default;

  ULONG m_references = 1;
  CScopedComPtr<IFolderView> m_inner;
  bool m_offerBatches;
  std::map<std::string, long> m_calls;
};

}  // namespace quorvel
