// Running another program to its end, as tests start the platform's programs
// (regsvr32) and their own helper hosts.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace quorvel {

// What RunToExit answers when the program did not start or did not end.
constexpr DWORD kNoExitCode = ~0u;

// How long a test waits for a program it started. Generous: where the kernel
// runs no 32-bit code, a 32-bit program runs under emulation and takes about
// a minute to start, several on a machine busy with other work; the limit
// only ends a program that hangs.
constexpr DWORD kChildProcessLimitMs = 15 * 60 * 1000;

// Starts `commandLine`, waits up to kChildProcessLimitMs for it to end and
// answers its exit code; a program that cannot be started or does not end is
// a test failure, and answers kNoExitCode.
inline DWORD RunToExit(std::wstring commandLine) {
  const std::string printable(commandLine.begin(), commandLine.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << printable << ", error " << GetLastError();
    return kNoExitCode;
  }
  CScopedFileHandle processHandle(process.hProcess);
  CScopedFileHandle threadHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, kChildProcessLimitMs) != WAIT_OBJECT_0) {
    ADD_FAILURE() << printable << " did not end within " << kChildProcessLimitMs / 1000 << " s";
    return kNoExitCode;
  }
  DWORD exitCode = kNoExitCode;
  GetExitCodeProcess(process.hProcess, &exitCode);
  return exitCode;
}

}  // namespace quorvel
