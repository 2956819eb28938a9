// The entry of a program written with wmain, where the toolchain's C runtime
// offers no wide entry (-municode): the command line split by the platform.
#include <windows.h>
#include <shellapi.h>

int wmain(int argc, wchar_t** argv);

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 1;
  const int code = wmain(argc, argv);
  LocalFree(argv);
  return code;
}
