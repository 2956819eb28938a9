// Makes operator new fail on purpose, for tests of what running out of memory
// does, and counts the allocations made through it. The program that includes
// this links FailingAllocations.cpp, which replaces operator new and delete
// for the whole program, so such tests have an executable of their own.
#pragma once

#include <gtest/gtest.h>

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

// The out-of-memory walk: round `count` (0, 1, 2, ...) makes the call under
// test with every allocation after its first `count` failing, as
// `round(count, &refused)` with `refused = RefusesAnAllocation(count, ...)`,
// and checks what that left. The walk ends with the first round in which no
// allocation was refused (the call's own success), at a fatal failure, or
// after `most` rounds; it answers how many rounds had one refused.
template <typename Round>
int WalkAllocationFailures(int most, Round&& round) {
  int failures = 0;
  for (int count = 0; count < most; ++count) {
    bool refused = false;
    round(count, &refused);
    if (!refused || ::testing::Test::HasFatalFailure()) break;
    ++failures;
  }
  return failures;
}

}  // namespace quorvel
