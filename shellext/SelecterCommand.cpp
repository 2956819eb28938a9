#include "shellext/SelecterCommand.h"

#include <memory>

#include "base/Failure.h"
#include "base/ResultCode.h"
#include "shellext/ClickedItems.h"
#include "shellext/ResourceInstance.h"
#include "shellext/SelectAllCommand.h"

namespace quorvel {

// {F06FB54A-A1ED-4613-9C05-63353D9D46F5}
const CLSID CLSID_SelecterCommand = {0xF06FB54A, 0xA1ED, 0x4613, {0x9C, 0x05, 0x63, 0x35, 0x3D, 0x9D, 0x46, 0xF5}};
// {CEA4F9F3-5ADF-4030-B4D6-C0545898486D}
const GUID kSelecterCommandCanonicalName = {
    0xCEA4F9F3, 0x5ADF, 0x4030, {0xB4, 0xD6, 0xC0, 0x54, 0x58, 0x98, 0x48, 0x6D}};

namespace {

constexpr DWORD kLongestPathUnits = 32768;

// A copy in task memory, which the shell frees.
HRESULT CopyToTaskMemory(const CWideString& text, LPWSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return SHStrDupW(AsWide(text.GetText()), out);
}

// The full path of the module this code is linked into.
CWideString ModulePath() {
  std::unique_ptr<wchar_t[]> path(new wchar_t[kLongestPathUnits]);
  const DWORD length = GetModuleFileNameW(ModuleOfThisCode(), path.get(), kLongestPathUnits);
  if (length == 0 || length >= kLongestPathUnits) throw CFailure(ResultFromLastError());
  return CWideString(AsUtf16(path.get()), static_cast<int32_t>(length));
}

}  // namespace

const InterfaceEntry* CSelecterCommand::GetInterfaceTable() noexcept {
  static const InterfaceEntry table[] = {
      {&IID_IExplorerCommand, InterfaceOffset<CSelecterCommand, IExplorerCommand>()},
      {&IID_IObjectWithSite, InterfaceOffset<CSelecterCommand, IObjectWithSite>()},
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP CSelecterCommand::GetTitle(IShellItemArray* psiItemArray, LPWSTR* ppszName) {
  try {
    if (ppszName == nullptr) return E_POINTER;
    *ppszName = nullptr;
    SelectionProcessor selection;
    const HRESULT analysed = AnalyseClickedItems(psiItemArray, &selection);
    if (FAILED(analysed)) return analysed;
    return CopyToTaskMemory(SelectAllTitle(selection), ppszName);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterCommand::GetIcon(IShellItemArray* /*psiItemArray*/, LPWSTR* ppszIcon) {
  try {
    if (ppszIcon == nullptr) return E_POINTER;
    *ppszIcon = nullptr;
    // The shell loads the icon from the file by its resource identifier, a
    // negative index.
    CWideString location = ModulePath();
    location += u",-";
    wchar_t id[8] = {};
    wsprintfW(id, L"%u", static_cast<unsigned>(kIconId));
    location += AsUtf16(id);
    return CopyToTaskMemory(location, ppszIcon);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterCommand::GetToolTip(IShellItemArray* /*psiItemArray*/, LPWSTR* ppszInfotip) {
  try {
    return CopyToTaskMemory(SelectAllHelpText(), ppszInfotip);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterCommand::GetCanonicalName(GUID* pguidCommandName) {
  if (pguidCommandName == nullptr) return E_POINTER;
  *pguidCommandName = kSelecterCommandCanonicalName;
  return S_OK;
}

STDMETHODIMP CSelecterCommand::GetState(IShellItemArray* psiItemArray, BOOL /*fOkToBeSlow*/,
                                        EXPCMDSTATE* pCmdState) {
  try {
    if (pCmdState == nullptr) return E_POINTER;
    *pCmdState = ECS_HIDDEN;
    SelectionProcessor selection;
    const HRESULT analysed = AnalyseClickedItems(psiItemArray, &selection);
    if (analysed == E_INVALIDARG) return S_OK;
    if (FAILED(analysed)) return analysed;
    // The first-level menu shows no command that would do nothing.
    if (SelectAllApplies(selection)) *pCmdState = ECS_ENABLED;
    return S_OK;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterCommand::Invoke(IShellItemArray* psiItemArray, IBindCtx* /*pbc*/) {
  try {
    SelectionProcessor selection;
    const HRESULT analysed = AnalyseClickedItems(psiItemArray, &selection);
    if (FAILED(analysed)) return analysed;
    SelectAllInFolderView(selection, m_site.Get(), nullptr);
    return S_OK;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

STDMETHODIMP CSelecterCommand::GetFlags(EXPCMDFLAGS* pFlags) {
  if (pFlags == nullptr) return E_POINTER;
  *pFlags = ECF_DEFAULT;
  return S_OK;
}

STDMETHODIMP CSelecterCommand::EnumSubCommands(IEnumExplorerCommand** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CSelecterCommand::SetSite(IUnknown* pUnkSite) {
  m_site.Hold(pUnkSite);
  return S_OK;
}

STDMETHODIMP CSelecterCommand::GetSite(REFIID riid, void** ppvSite) {
  if (ppvSite == nullptr) return E_POINTER;
  *ppvSite = nullptr;
  if (!m_site) return E_FAIL;
  return m_site->QueryInterface(riid, ppvSite);
}

}  // namespace quorvel
