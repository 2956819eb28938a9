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

bool EqualPathText(const char16_t* left, const char16_t* right, int32_t length) noexcept {
  return CompareStringOrdinal(AsWide(left), length, AsWide(right), length, TRUE) == CSTR_EQUAL;
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

int FoldAsciiCase(char16_t unit) noexcept { return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit; }

int CompareTextNoCase(const char16_t* left, const char16_t* right) noexcept {
  for (;; ++left, ++right) {
    const int a = FoldAsciiCase(*left);
    const int b = FoldAsciiCase(*right);
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

bool EqualPathText(const char16_t* left, const char16_t* right, int32_t length) noexcept {
  for (int32_t i = 0; i < length; ++i) {
    if (FoldAsciiCase(left[i]) != FoldAsciiCase(right[i])) return false;
  }
  return true;
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
