// CQuorvelApp: the application object. Its one effect is choosing the
// instance run-time resources come from: a satellite resource library for the
// user's language when one lies beside the library, else the library.
//
// A satellite is only ever read for its resources: it is mapped as an image
// resource, never as code, so nothing of it runs. It is looked for on the
// first request for the resource instance (a handler being made), not while
// the library is being loaded: mapping a file is loading a library, which the
// platform forbids under the loader lock.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

class CQuorvelApp {
 public:
  CQuorvelApp() = default;
  CQuorvelApp(const CQuorvelApp&) = delete;
  CQuorvelApp& operator=(const CQuorvelApp&) = delete;
  ~CQuorvelApp() = default;

  // The instance to load run-time resources from. The first call, on any
  // thread, runs StartUp; calls made meanwhile on other threads wait for it.
  HINSTANCE ResourceInstance() noexcept;

  // Looks for the satellite library, in the order of the candidates: the
  // user's UI language, its neutral form, the system's UI language, its
  // neutral form, then "LOC". The first that maps becomes the resource
  // instance; when none does, the library itself stays it.
  void StartUp() noexcept;
  // An ordinary unload: frees the satellite library, if one was mapped.
  void ShutDown() noexcept;
  // The process is exiting: forgets the satellite without freeing it (the
  // platform reclaims it; freeing a library then is not allowed).
  void Abandon() noexcept;

  HINSTANCE SatelliteInstance() const noexcept { return m_satellite; }

 private:
  static BOOL CALLBACK RunStartUp(PINIT_ONCE once, PVOID app, PVOID* context) noexcept;

  INIT_ONCE m_startUp = INIT_ONCE_STATIC_INIT;
  HINSTANCE m_satellite = nullptr;
};

// The application object of this library: a static record of the library
// that links the server (dll/ModuleState.cpp).
CQuorvelApp& GetQuorvelApp() noexcept;

}  // namespace quorvel
