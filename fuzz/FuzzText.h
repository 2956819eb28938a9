// Turns fuzzer bytes into UTF-16 text: each pair of bytes is one code unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvel {

inline std::u16string UnitsFromBytes(const uint8_t* data, size_t size) {
  std::u16string text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

// A hard failure the fuzzer reports as a finding; the message goes to the
// unbuffered stream so that it is in the log before the trap.
#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                        \
    }                                                                          \
  } while (0)

}  // namespace quorvel
