// Pictures of what the screen shows. Under Wine PrintWindow gives a blank
// picture, so windows are pictured by copying their area of the screen.
#pragma once

#include <string>

#include "platform/WinApi.h"

namespace quorvel {

// Writes the screen's `area` (screen coordinates) to `path` as a bottom-up
// 24-bit .bmp file. On failure *error says why.
HRESULT SaveScreenArea(const RECT& area, const std::wstring& path, std::wstring* error);

}  // namespace quorvel
