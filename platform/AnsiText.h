// Conversion between UTF-16 and 8-bit text in the calling thread's ANSI code
// page. On Windows this is CP_THREAD_ACP with no flags; the Linux build of the
// portable core stands in with ISO 8859-1, which maps every byte to one unit.
#pragma once

#include <cstddef>

namespace quorvel {

// Converts `length` bytes of `text` into at most `capacity` UTF-16 units.
// Returns the number of units written, or 0 on failure (as MultiByteToWideChar).
// With `capacity` 0 it returns the number of units needed.
int AnsiToUtf16(const char* text, int length, char16_t* out, int capacity);

// Converts `length` units of `text` into at most `capacity` bytes.
// Returns the number of bytes written, or 0 on failure (as WideCharToMultiByte).
int Utf16ToAnsi(const char16_t* text, int length, char* out, int capacity);

}  // namespace quorvel
