// Which registry the module's script runs write to, for the calling thread:
// the Windows registry itself unless a scope names another (the per-user
// registration names one that directs the scripts' roots to the user's keys).
#pragma once

#include "platform/Registry.h"

namespace quorvel {

IRegistry& RegistrationRegistry() noexcept;

// Directs the calling thread's script runs to `registry` for one scope and
// gives the previous target back when it ends, on every path.
class CRegistrationTargetScope {
 public:
  explicit CRegistrationTargetScope(IRegistry& registry) noexcept;
  ~CRegistrationTargetScope();
  CRegistrationTargetScope(const CRegistrationTargetScope&) = delete;
  CRegistrationTargetScope& operator=(const CRegistrationTargetScope&) = delete;

 private:
  IRegistry* m_previous;
};

}  // namespace quorvel
