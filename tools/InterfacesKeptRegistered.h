// Keeps the interfaces that this process serves to a command in another
// process registered with RPC for the whole of one right-click.
//
// Under Wine, when the last stub of an interface goes (the other process
// released the last reference to it, say the item array passed to a call),
// the apartment unregisters the interface with RPC and waits for its calls to
// end. A call of that interface ending at that very moment is missed (rpcrt4
// checks the call count and records the event to signal apart from the thread
// that ends the call), and the apartment then waits for ever. Seen as a
// deadlock once in a few runs of the surrogate tests on a loaded machine.
// One table-strong marshal of each interface, held until the right-click is
// over, keeps every such interface registered while calls cross.
#pragma once

#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

class CInterfacesKeptRegistered {
 public:
  CInterfacesKeptRegistered() = default;
  CInterfacesKeptRegistered(const CInterfacesKeptRegistered&) = delete;
  CInterfacesKeptRegistered& operator=(const CInterfacesKeptRegistered&) = delete;
  ~CInterfacesKeptRegistered();

  // Marshals `object` as `iid`, table-strong, where it has that interface;
  // an object without it is passed over.
  void Keep(IUnknown* object, REFIID iid) noexcept;

 private:
  std::vector<CScopedComPtr<IStream>> m_marshals;
};

// Whether `object` is a proxy for an object of another apartment or process.
bool IsProxy(IUnknown* object) noexcept;

}  // namespace quorvel
