// What the two registry-script targets share: the script text made from the
// fuzzer's bytes the way a script resource is read, and the variables a
// script run of the module has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/AnsiText.h"
#include "registrar/RegObject.h"
#include "registrar/ScriptVariables.h"

namespace quorvel {

// The bytes as the stored 8-bit script: converted from the ANSI code page,
// ending at the first zero, as the text the interpreter is given would.
inline std::u16string ScriptTextFromBytes(const uint8_t* data, size_t size) {
  std::u16string text(size, u'\0');
  if (size > 0) {
    const int units = AnsiToUtf16(reinterpret_cast<const char*>(data), static_cast<int>(size), &text[0],
                                  static_cast<int>(size));
    text.resize(units > 0 ? static_cast<size_t>(units) : 0);
  }
  const size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return text;
}

// The variables of a module script run, with a path that needs its quote
// doubled and a value holding % signs that must not be expanded again.
inline void AddScriptVariables(CRegObject& registrar) {
  registrar.AddVariable(u"APPID", u"{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}");
  registrar.AddVariable(u"Percent", u"100% %APPID%");
  AddModulePathVariables(registrar, u"C:\\It's Quorvel\\quorvel.dll");
}

}  // namespace quorvel
