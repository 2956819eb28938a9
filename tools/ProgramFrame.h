// The frame that the tools' console programs share around their own work:
// the wide command line, UTF-8 output with plain line feeds (as on the Linux
// side of Wine), OLE for the thread, and exit codes 0, 1 (failure, with a
// "<name>: error: ..." line on standard error) and 2 (bad usage).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace quorvel {

// Writes `text` to `stream` as UTF-8.
void WriteUtf8(FILE* stream, const std::wstring& text);

// Writes "<program>: error: <message>" to standard error and answers 1.
int FailProgram(const wchar_t* program, const std::wstring& message);

// main() of a tool: `parse` gets the arguments (the first is the program's
// own name) and answers whether they make sense; if not, `usage` goes to
// standard error and the exit code is 2. Otherwise `run` does the work in a
// single-threaded apartment with the list controls registered, and its
// answer is the exit code; anything it throws gives 1.
int RunProgram(const wchar_t* program, const wchar_t* usage,
               const std::function<bool(int count, wchar_t** arguments)>& parse, const std::function<int()>& run);

}  // namespace quorvel
