// The command's texts, string resources loaded from the resource instance
// (a satellite resource library in the user's language where one was found,
// else the module itself), so that satellites can translate them.
#pragma once

#include "base/WideString.h"
#include "platform/WinApi.h"

namespace quorvel {

// String resource identifiers (resources/CommandTexts.rc).
constexpr UINT kTitleFormatId = 204;  // "Select All %1 Files", %1 the extension
constexpr UINT kHelpTextId = 205;     // the context menu's status text, the command's tool tip

// The text `id` of the resource instance; where that lacks it, holds it
// empty, or `usable` refuses it (a damaged satellite), the module's own.
// A module without it fails with the loader's result code.
CWideString LoadResourceText(UINT id, bool (*usable)(const CWideString& text) = nullptr);

}  // namespace quorvel
