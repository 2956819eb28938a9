// CQuorvelApp: the application object. Its one effect is choosing, at start-up,
// the instance run-time resources come from: a satellite resource library
// for the user's language when one lies beside the library, else the library.
#pragma once

#include "platform/WinApi.h"

namespace quorvel {

class CQuorvelApp {
 public:
  CQuorvelApp() = default;
  CQuorvelApp(const CQuorvelApp&) = delete;
  CQuorvelApp& operator=(const CQuorvelApp&) = delete;
  ~CQuorvelApp() = default;

  // Process attach. Loads the first satellite library found and makes it the
  // resource instance; succeeds whether or not one was found.
  bool StartUp() noexcept;
  // Process detach: frees the satellite library, if one was loaded.
  void ShutDown() noexcept;

  HINSTANCE SatelliteInstance() const noexcept { return m_satellite; }

 private:
  HINSTANCE m_satellite = nullptr;
};

// The application object of this library: a static record of the library
// that links the server (dll/ModuleState.cpp).
CQuorvelApp& GetQuorvelApp() noexcept;

}  // namespace quorvel
