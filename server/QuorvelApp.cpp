#include "server/QuorvelApp.h"

#include <cwchar>

#include "base/ModulePath.h"
#include "server/ModuleInstances.h"

namespace quorvel {

namespace {

// Maps the satellite for its resources only: its imports are not resolved
// and its entry point does not run, so a file that happens to carry the name
// runs no code in the host; a file that is no valid image does not map.
HINSTANCE LoadSatellite(const wchar_t* basePath, const wchar_t* abbreviation) noexcept {
  wchar_t name[MAX_PATH + 16];
  const int written = swprintf(name, sizeof(name) / sizeof(name[0]), L"%ls%ls.dll", basePath, abbreviation);
  if (written <= 0) return nullptr;
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

}  // namespace

HINSTANCE CQuorvelApp::ResourceInstance() noexcept {
  InitOnceExecuteOnce(&m_startUp, &CQuorvelApp::RunStartUp, this, nullptr);
  return GetResourceInstance();
}

BOOL CALLBACK CQuorvelApp::RunStartUp(PINIT_ONCE /*once*/, PVOID app, PVOID* /*context*/) noexcept {
  static_cast<CQuorvelApp*>(app)->StartUp();
  return TRUE;
}

void CQuorvelApp::StartUp() noexcept {
  // The satellites' names are the library's path without its extension.
  wchar_t basePath[MAX_PATH];
  if (FAILED(GetModulePath(GetModuleInstance(), basePath))) return;
  *FindFileExtension(basePath) = 0;

  const LANGID userLanguage = GetUserDefaultUILanguage();
  const LANGID systemLanguage = GetSystemDefaultUILanguage();
  const LANGID candidates[] = {
      userLanguage,
      static_cast<LANGID>(userLanguage & 0x3FF),
      systemLanguage,
      static_cast<LANGID>(systemLanguage & 0x3FF),
  };

  HINSTANCE satellite = nullptr;
  for (LANGID language : candidates) {
    const LCID locale = ConvertDefaultLocale(MAKELCID(language, SORT_DEFAULT));
    wchar_t abbreviation[16] = {};
    if (GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, abbreviation, 16) == 0) continue;
    satellite = LoadSatellite(basePath, abbreviation);
    if (satellite != nullptr) break;
  }
  if (satellite == nullptr) satellite = LoadSatellite(basePath, L"LOC");

  if (satellite != nullptr) {
    m_satellite = satellite;
    SetResourceInstance(satellite);
  }
}

void CQuorvelApp::ShutDown() noexcept {
  if (m_satellite == nullptr) return;
  SetResourceInstance(GetModuleInstance());
  FreeLibrary(m_satellite);
  m_satellite = nullptr;
}

void CQuorvelApp::Abandon() noexcept {
  SetResourceInstance(GetModuleInstance());
  m_satellite = nullptr;
}

}  // namespace quorvel
