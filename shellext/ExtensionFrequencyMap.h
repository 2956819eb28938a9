// The map from extension to the number of selected paths that carry it. Its
// iteration order decides ties between equally frequent extensions, so it is
// fixed: 17 buckets, hash = hash * 33 + unit (unsigned 32-bit, wrapping), new
// keys at the head of their bucket's chain, buckets visited from 0 to 16 and
// each chain from its head.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/WideString.h"

namespace quorvel {

class CExtensionFrequencyMap {
 public:
  static constexpr uint32_t kBucketCount = 17;

  CExtensionFrequencyMap() = default;
  CExtensionFrequencyMap(const CExtensionFrequencyMap&) = delete;
  CExtensionFrequencyMap& operator=(const CExtensionFrequencyMap&) = delete;
  ~CExtensionFrequencyMap();

  static uint32_t Hash(const CWideString& key) noexcept;

  // Adds one to the key's count, inserting it with the count 1 when new.
  void Increment(const CWideString& key);
  bool Remove(const CWideString& key) noexcept;
  bool IsEmpty() const noexcept { return m_size == 0; }
  int32_t GetSize() const noexcept { return m_size; }

  // Visits every key with its count in iteration order.
  void ForEach(const std::function<void(const CWideString& key, int32_t count)>& visit) const;

 private:
  struct Node {
    CWideString key;
    int32_t count = 0;
    Node* next = nullptr;
  };

  Node* m_buckets[kBucketCount] = {};
  int32_t m_size = 0;
};

}  // namespace quorvel
