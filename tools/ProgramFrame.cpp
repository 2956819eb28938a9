#include "tools/ProgramFrame.h"

#include <fcntl.h>
#include <io.h>

#include <exception>

#include "base/Failure.h"
#include "platform/WinApi.h"
#include "tools/FolderWindow.h"

namespace quorvel {

namespace {

// OleInitialize for the life of the program.
class COleSession {
 public:
  COleSession() noexcept : m_result(OleInitialize(nullptr)) {}
  COleSession(const COleSession&) = delete;
  COleSession& operator=(const COleSession&) = delete;
  ~COleSession() {
    if (SUCCEEDED(m_result)) OleUninitialize();
  }
  HRESULT Result() const noexcept { return m_result; }

 private:
  HRESULT m_result;
};

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (const char* p = text; *p != 0; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

}  // namespace

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring FormatNumber(const wchar_t* format, double value) {
  wchar_t text[64];
  swprintf(text, 64, format, value);
  return text;
}

std::wstring PadLeft(const std::wstring& text, size_t width) {
  return text.size() >= width ? text : std::wstring(width - text.size(), L' ') + text;
}

bool ParsePositive(const std::wstring& text, int* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  *out = std::stoi(text);
  return *out > 0;
}

bool ParsePositiveList(const std::wstring& text, std::vector<int>* out) {
  out->clear();
  for (size_t start = 0;;) {
    const size_t comma = text.find(L',', start);
    int value = 0;
    if (!ParsePositive(text.substr(start, comma - start), &value)) return false;
    out->push_back(value);
    if (comma == std::wstring::npos) return true;
    start = comma + 1;
  }
}

void WriteUtf8(FILE* stream, const std::wstring& text) {
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), stream);
  fflush(stream);
}

int FailProgram(const wchar_t* program, const std::wstring& message) {
  WriteUtf8(stderr, std::wstring(program) + L": error: " + message + L"\n");
  return 1;
}

int RunProgram(const wchar_t* program, const wchar_t* usage,
               const std::function<bool(int count, wchar_t** arguments)>& parse, const std::function<int()>& run) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return FailProgram(program, L"cannot read the command line");
  const bool parsed = parse(count, arguments);
  LocalFree(arguments);
  if (!parsed) {
    WriteUtf8(stderr, usage);
    return 2;
  }

  COleSession ole;
  if (FAILED(ole.Result())) return FailProgram(program, L"OleInitialize failed: " + FormatResult(ole.Result()));
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    return run();
  } catch (const CFailure& failure) {
    return FailProgram(program, L"unexpected failure: " + FormatResult(failure.Code()));
  } catch (const std::exception& failure) {
    return FailProgram(program, L"unexpected failure: " + Widen(failure.what()));
  }
}

}  // namespace quorvel
