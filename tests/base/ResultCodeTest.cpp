#include "base/ResultCode.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(ResultCode, Win32CodesMapToTheirResultCodes) {
  struct Case {
    long win32;
    uint32_t expected;
  };
  const Case cases[] = {
      {0, 0},                      // success passes unchanged
      {2, 0x80070002u},            // ERROR_FILE_NOT_FOUND
      {5, 0x80070005u},            // ERROR_ACCESS_DENIED
      {14, 0x8007000Eu},           // ERROR_OUTOFMEMORY is E_OUTOFMEMORY
      {87, 0x80070057u},           // ERROR_INVALID_PARAMETER is E_INVALIDARG
      {122, 0x8007007Au},          // ERROR_INSUFFICIENT_BUFFER
      {0x12345, 0x80072345u},      // only the low 16 bits are kept
      {-5, 0xFFFFFFFBu},           // negative values pass unchanged
      {static_cast<long>(static_cast<int32_t>(0x80004005u)), 0x80004005u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, static_cast<uint32_t>(ResultFromWin32(c.win32))) << c.win32;
  }
  EXPECT_EQ(E_OUTOFMEMORY, ResultFromWin32(ERROR_OUTOFMEMORY));
  EXPECT_EQ(E_INVALIDARG, ResultFromWin32(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace quorvel
