// Makes operator new fail on purpose, for tests of what running out of memory
// does, and counts the allocations made through it. The program that includes
// this links FailingAllocations.cpp, which replaces operator new and delete
// for the whole program, so such tests have an executable of their own.
#pragma once

namespace quorvel {

// Every allocation through operator new after the next `count` ones throws
// std::bad_alloc (or answers null for the nothrow form), for one scope.
class CFailingAllocations {
 public:
  explicit CFailingAllocations(int count) noexcept;
  ~CFailingAllocations();
  CFailingAllocations(const CFailingAllocations&) = delete;
  CFailingAllocations& operator=(const CFailingAllocations&) = delete;

  // Whether an allocation has been refused since the scope began.
  static bool Failed() noexcept;
};

// Counts the allocations made through operator new while it lives.
class CAllocationCounter {
 public:
  CAllocationCounter() noexcept;
  CAllocationCounter(const CAllocationCounter&) = delete;
  CAllocationCounter& operator=(const CAllocationCounter&) = delete;

  long Count() const noexcept;

 private:
  long m_start;
};

// Makes `call` with every allocation after its first `count` failing; true
// when one of them was refused.
template <typename Call>
bool RefusesAnAllocation(int count, Call&& call) {
  CFailingAllocations failing(count);
  call();
  return CFailingAllocations::Failed();
}

}  // namespace quorvel
