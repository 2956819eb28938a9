#include "shellext/ExtensionFrequencyMap.h"

#include <new>

#include "base/Failure.h"

namespace quorvel {

CExtensionFrequencyMap::~CExtensionFrequencyMap() {
  for (Node*& head : m_buckets) {
    while (head != nullptr) {
      Node* next = head->next;
      delete head;
      head = next;
    }
  }
}

uint32_t CExtensionFrequencyMap::Hash(const CWideString& key) noexcept {
  uint32_t hash = 0;
  const char16_t* units = key.GetText();
  for (int32_t i = 0; i < key.GetLength(); ++i) hash = hash * 33u + units[i];
  return hash;
}

void CExtensionFrequencyMap::Increment(const CWideString& key) {
  Node*& head = m_buckets[Hash(key) % kBucketCount];
  for (Node* node = head; node != nullptr; node = node->next) {
    if (node->key == key) {
      ++node->count;
      return;
    }
  }
  Node* node = new (std::nothrow) Node;
  if (node == nullptr) CFailure::ThrowOutOfMemory();
  node->key = key;
  node->count = 1;
  node->next = head;
  head = node;
  ++m_size;
}

bool CExtensionFrequencyMap::Remove(const CWideString& key) noexcept {
  for (Node** link = &m_buckets[Hash(key) % kBucketCount]; *link != nullptr; link = &(*link)->next) {
    if ((*link)->key == key) {
      Node* node = *link;
      *link = node->next;
      delete node;
      --m_size;
      return true;
    }
  }
  return false;
}

void CExtensionFrequencyMap::ForEach(const std::function<void(const CWideString&, int32_t)>& visit) const {
  for (const Node* head : m_buckets) {
    for (const Node* node = head; node != nullptr; node = node->next) visit(node->key, node->count);
  }
}

}  // namespace quorvel
