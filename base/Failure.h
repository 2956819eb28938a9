// The failure raised by the value types (wide string, string array) when memory
// runs out or an argument is out of range. It never crosses an exported
// function or interface method: every such edge catches it and returns Code().
#pragma once

#include "platform/ResultTypes.h"

namespace quorvel {

class CFailure {
 public:
  explicit CFailure(HRESULT code) noexcept : m_code(code) {}
  HRESULT Code() const noexcept { return m_code; }

  [[noreturn]] static void ThrowOutOfMemory() { throw CFailure(E_OUTOFMEMORY); }
  [[noreturn]] static void ThrowInvalidArgument() { throw CFailure(E_INVALIDARG); }

 private:
  HRESULT m_code;
};

}  // namespace quorvel
