// The failure raised by the value types (wide string, string array) when memory
// runs out or an argument is out of range. It never crosses an exported
// function or interface method: every such edge is written as
//
//   try { ... } catch (...) { return ResultOfCurrentException(); }
//
// and nothing else, so that one mapping decides every edge's result code.
#pragma once

#include <new>

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

// The result code for the exception being handled: a CFailure keeps its own
// code, an allocation failure is E_OUTOFMEMORY, anything else E_UNEXPECTED.
// Call it only inside a catch block.
inline HRESULT ResultOfCurrentException() noexcept {
  try {
    throw;
  } catch (const CFailure& failure) {
    return failure.Code();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace quorvel
