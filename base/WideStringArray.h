// CWideStringArray: an ordered, growable array of wide strings.
// Growth failures throw CFailure(E_OUTOFMEMORY); an index outside
// 0 .. count - 1 throws CFailure(E_INVALIDARG).
#pragma once

#include <cstdint>
#include <vector>

#include "base/WideString.h"

namespace quorvel {

class CWideStringArray {
 public:
  CWideStringArray() = default;

  void Add(const CWideString& text);
  int32_t GetCount() const noexcept { return static_cast<int32_t>(m_items.size()); }
  const CWideString& GetAt(int32_t index) const;
  void RemoveAt(int32_t index);
  void RemoveAll() noexcept { m_items.clear(); }

 private:
  std::vector<CWideString> m_items;
};

}  // namespace quorvel
