#include "server/RegistrationTarget.h"

#include "platform/WindowsRegistry.h"

namespace quorvel {

namespace {
// Per thread, so that a registration on one thread never sends another
// thread's script runs elsewhere.
thread_local IRegistry* t_target = nullptr;
}  // namespace

IRegistry& RegistrationRegistry() noexcept { return t_target != nullptr ? *t_target : WindowsRegistry(); }

CRegistrationTargetScope::CRegistrationTargetScope(IRegistry& registry) noexcept : m_previous(t_target) {
  t_target = &registry;
}

CRegistrationTargetScope::~CRegistrationTargetScope() { t_target = m_previous; }

}  // namespace quorvel
