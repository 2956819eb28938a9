#include "shellext/WindowSearch.h"

namespace quorvel {

namespace {

constexpr char16_t kFolderViewClass[] = u"SHELLDLL_DefView";
constexpr char16_t kListViewClass[] = u"SysListView32";
constexpr int kClassNameUnits = 32;  // longer class names are cut to 31

char16_t FoldAsciiCase(char16_t unit) noexcept { return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit; }

bool EqualsIgnoringAsciiCase(const char16_t* text, const CWideString& other) noexcept {
  const int32_t length = TextLength(text);
  if (length != other.GetLength()) return false;
  const char16_t* units = other.GetText();
  for (int32_t i = 0; i < length; ++i) {
    if (FoldAsciiCase(text[i]) != FoldAsciiCase(units[i])) return false;
  }
  return true;
}

}  // namespace

HWND FindListView(HWND start) {
  const HWND folderView = FindWindowByClass(start, CWideString(kFolderViewClass));
  if (folderView == nullptr) return nullptr;
  return FindWindowByClass(folderView, CWideString(kListViewClass));
}

HWND FindWindowByClass(HWND window, const CWideString& className) {
  // For a null window GetTopWindow would answer the desktop's top-level
  // windows, other processes' included: nothing lies below a null window here.
  if (window == nullptr) return nullptr;

  wchar_t name[kClassNameUnits] = {};
  GetClassNameW(window, name, kClassNameUnits);
  if (EqualsIgnoringAsciiCase(AsUtf16(name), className)) return window;

  for (HWND child = GetTopWindow(window); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const HWND found = FindWindowByClass(child, className);
    if (found != nullptr) return found;
  }
  return nullptr;
}

}  // namespace quorvel
