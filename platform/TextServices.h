// The platform's text services the registry script reader relies on. On
// Windows they are the system's own; elsewhere they stand in for them on the
// plain ASCII text of the component's scripts.
#pragma once

#include <cstdint>

#include "platform/ResultTypes.h"

namespace quorvel {

// The next character after `position` (CharNextW): one UTF-16 unit elsewhere;
// never moves past the terminating zero.
const char16_t* NextCharacter(const char16_t* position) noexcept;

// Compares two texts without regard to case (lstrcmpiW); 0 when they match.
// Elsewhere only the ASCII letters fold.
int CompareTextNoCase(const char16_t* left, const char16_t* right) noexcept;

// Whether the first `length` units of `left` and `right` are the same text,
// letter case ignored as the file system ignores it in names and paths
// (CompareStringOrdinal). Elsewhere only the ASCII letters fold.
bool EqualPathText(const char16_t* left, const char16_t* right, int32_t length) noexcept;

// Text to an unsigned 32-bit number (VarUI4FromStr, locale 0, no flags).
// Elsewhere: unsigned decimal digits, with blanks around them allowed;
// DISP_E_TYPEMISMATCH for other text, DISP_E_OVERFLOW above 4294967295.
HRESULT UnsignedFromText(const char16_t* text, uint32_t* value) noexcept;

}  // namespace quorvel
