// The platform's shell item array of items named by their parsing names (a
// path, or "::{CLSID}" for a namespace root), as the shell hands clicked
// items to an Explorer command.
#pragma once

#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "platform/WinApi.h"

namespace quorvel {

inline HRESULT CreateShellItemArray(const std::vector<std::wstring>& names, IShellItemArray** out) {
  *out = nullptr;
  std::vector<CTaskMemory<ITEMIDLIST>> idLists(names.size());
  std::vector<PCIDLIST_ABSOLUTE> items;
  for (size_t i = 0; i < names.size(); ++i) {
    const HRESULT parsed = SHParseDisplayName(names[i].c_str(), nullptr,
                                              reinterpret_cast<PIDLIST_ABSOLUTE*>(idLists[i].Receive()), 0, nullptr);
    if (FAILED(parsed)) return parsed;
    items.push_back(reinterpret_cast<PCIDLIST_ABSOLUTE>(idLists[i].Get()));
  }
  return SHCreateShellItemArrayFromIDLists(static_cast<UINT>(items.size()), items.data(), out);
}

}  // namespace quorvel
