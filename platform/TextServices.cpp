#include "platform/TextServices.h"

#ifdef _WIN32
#include "platform/WinApi.h"
#endif

namespace quorvel {

#ifdef _WIN32

const char16_t* NextCharacter(const char16_t* position) noexcept {
  return AsUtf16(CharNextW(AsWide(position)));
}

int CompareTextNoCase(const char16_t* left, const char16_t* right) noexcept {
  return lstrcmpiW(AsWide(left), AsWide(right));
}

HRESULT UnsignedFromText(const char16_t* text, uint32_t* value) noexcept {
  ULONG number = 0;
  const HRESULT result = VarUI4FromStr(const_cast<OLECHAR*>(AsWide(text)), 0, 0, &number);
  *value = number;
  return result;
}

#else

const char16_t* NextCharacter(const char16_t* position) noexcept {
  return *position != 0 ? position + 1 : position;
}

int CompareTextNoCase(const char16_t* left, const char16_t* right) noexcept {
  auto fold = [](char16_t unit) -> int { return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit; };
  for (;; ++left, ++right) {
    const int a = fold(*left);
    const int b = fold(*right);
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

HRESULT UnsignedFromText(const char16_t* text, uint32_t* value) noexcept {
  *value = 0;
  auto isBlank = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
  while (isBlank(*text)) ++text;
  if (*text < u'0' || *text > u'9') return DISP_E_TYPEMISMATCH;
  uint64_t number = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    number = number * 10 + static_cast<uint64_t>(*text - u'0');
    if (number > 0xFFFFFFFFull) return DISP_E_OVERFLOW;
  }
  while (isBlank(*text)) ++text;
  if (*text != 0) return DISP_E_TYPEMISMATCH;
  *value = static_cast<uint32_t>(number);
  return S_OK;
}

#endif

}  // namespace quorvel
