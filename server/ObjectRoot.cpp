#include "server/ObjectRoot.h"

#include <cstring>

namespace quorvel {

HRESULT QueryInterfaceByTable(void* object, const InterfaceEntry* table, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (object == nullptr || table == nullptr || table->iid == nullptr) return E_NOINTERFACE;

  const InterfaceEntry* match = nullptr;
  if (std::memcmp(&iid, &IID_IUnknown, sizeof(IID)) == 0) {
    match = table;
  } else {
    for (const InterfaceEntry* entry = table; entry->iid != nullptr; ++entry) {
      if (std::memcmp(entry->iid, &iid, sizeof(IID)) == 0) {
        match = entry;
        break;
      }
    }
  }
  if (match == nullptr) return E_NOINTERFACE;

  IUnknown* pointer = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + match->offset);
  pointer->AddRef();
  *out = pointer;
  return S_OK;
}

}  // namespace quorvel
