#include "base/WideStringArray.h"

#include <new>
#include <stdexcept>

#include "base/Failure.h"

namespace quorvel {

void CWideStringArray::Add(const CWideString& text) {
  try {
    m_items.push_back(text);
  } catch (const std::bad_alloc&) {
    CFailure::ThrowOutOfMemory();
  } catch (const std::length_error&) {
    CFailure::ThrowOutOfMemory();
  }
}

const CWideString& CWideStringArray::GetAt(int32_t index) const {
  if (index < 0 || index >= GetCount()) CFailure::ThrowInvalidArgument();
  return m_items[static_cast<size_t>(index)];
}

void CWideStringArray::RemoveAt(int32_t index) {
  if (index < 0 || index >= GetCount()) CFailure::ThrowInvalidArgument();
  m_items.erase(m_items.begin() + index);
}

}  // namespace quorvel
