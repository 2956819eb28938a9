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
