// Readable failure messages for UTF-16 values in GoogleTest.
#pragma once

#include <ostream>
#include <string>

#include "base/WideString.h"

namespace quorvel {

inline std::string ToPrintable(const char16_t* text, int32_t length) {
  std::string out;
  for (int32_t i = 0; i < length; ++i) {
    const char16_t unit = text[i];
    if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      static const char digits[] = "0123456789ABCDEF";
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
    }
  }
  return out;
}

inline void PrintTo(const CWideString& value, std::ostream* os) {
  *os << '"' << ToPrintable(value.GetText(), value.GetLength()) << '"';
}

}  // namespace quorvel
