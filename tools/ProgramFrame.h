// The frame that the tools' console programs share around their own work:
// the wide command line, UTF-8 output with plain line feeds (as on the Linux
// side of Wine), OLE for the thread, and exit codes 0, 1 (failure, with a
// "<name>: error: ..." line on standard error) and 2 (bad usage).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// Writes `text` to `stream` as UTF-8.
void WriteUtf8(FILE* stream, const std::wstring& text);

// Writes "<program>: error: <message>" to standard error and answers 1.
int FailProgram(const wchar_t* program, const std::wstring& message);

// The folder of this program's file, with its final backslash: where the
// test proxy library (explorer-command-proxy.dll) is built beside it.
std::wstring ProgramFolder();

// `value` written by swprintf's `format` ("%.1f").
std::wstring FormatNumber(const wchar_t* format, double value);

// `text` with spaces before it up to `width` characters.
std::wstring PadLeft(const std::wstring& text, size_t width);

// A positive decimal number of at most nine digits; false for anything else.
bool ParsePositive(const std::wstring& text, int* out);

// Positive numbers separated by commas ("1000,5000"), in the order given.
bool ParsePositiveList(const std::wstring& text, std::vector<int>* out);

// main() of a tool: `parse` gets the arguments (the first is the program's
// own name) and answers whether they make sense; if not, `usage` goes to
// standard error and the exit code is 2. Otherwise `run` does the work in a
// single-threaded apartment with the list controls registered, and its
// answer is the exit code; anything it throws gives 1.
int RunProgram(const wchar_t* program, const wchar_t* usage,
               const std::function<bool(int count, wchar_t** arguments)>& parse, const std::function<int()>& run);

}  // namespace quorvel
