// A stand-in for a program the setup runs (powershell.exe, certutil.exe),
// put in its place in a test prefix: it appends one line to the file named by
// QUORVEL_STAND_IN_RECORD, "<its file name>|<its arguments as passed>", and
// exits with code 0, or where the line holds the text of QUORVEL_STAND_IN_FAIL
// (a step made to fail) with the code QUORVEL_STAND_IN_EXIT (1 if unset).
#include <cwchar>
#include <string>

#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[2048];
  DWORD length = GetEnvironmentVariableW(name, value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

// The command line after the program's own name, as the caller wrote it.
const wchar_t* Arguments(const wchar_t* line) {
  bool quoted = false;
  for (; *line != L'\0'; ++line) {
    if (*line == L'"') quoted = !quoted;
    if (!quoted && (*line == L' ' || *line == L'\t')) break;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int wmain() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 3;
  const wchar_t* name = std::wcsrchr(path, L'\\');
  std::wstring line = std::wstring(name != nullptr ? name + 1 : path) + L"|" + Arguments(GetCommandLineW());

  std::wstring record = Variable(L"QUORVEL_STAND_IN_RECORD");
  if (record.empty()) return 3;
  quorvel::CScopedFileHandle file(CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return 3;
  std::wstring text = line + L"\n";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
  DWORD written = 0;
  if (!WriteFile(file.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr)) return 3;

  std::wstring failing = Variable(L"QUORVEL_STAND_IN_FAIL");
  if (failing.empty() || line.find(failing) == std::wstring::npos) return 0;
  std::wstring code = Variable(L"QUORVEL_STAND_IN_EXIT");
  return code.empty() ? 1 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
