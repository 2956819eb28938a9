#include "shellext/ResourceText.h"

#include "base/Failure.h"
#include "base/ResultCode.h"
#include "shellext/ResourceInstance.h"

namespace quorvel {

namespace {

// Whether `module` holds a nonempty text `id`, copied into `text`. With no
// buffer, LoadStringW hands out the resource's own read-only units and
// their count, unterminated: the text is read as the resource holds it,
// however long.
bool FindText(HINSTANCE module, UINT id, CWideString* text) {
  const wchar_t* units = nullptr;
  const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&units), 0);
  if (length <= 0 || units == nullptr) return false;
  *text = CWideString(AsUtf16(units), length);
  return true;
}

}  // namespace

CWideString LoadResourceText(UINT id, bool (*usable)(const CWideString& text)) {
  CWideString text;
  const HINSTANCE instance = ResourceInstance();
  if (FindText(instance, id, &text) && (usable == nullptr || usable(text))) return text;
  if (instance != ModuleOfThisCode() && FindText(ModuleOfThisCode(), id, &text)) return text;
  throw CFailure(ResultFromLastError());
}

}  // namespace quorvel
