// Entry point of the satellite resource libraries the tests build. The
// tracing one leaves a file beside itself (its own name with ".ran") when its
// code is run, so that a test can tell whether it ever was.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
#ifdef SATELLITE_LEAVES_TRACE
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcatW(path, L".ran");
      const HANDLE trace = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (trace != INVALID_HANDLE_VALUE) CloseHandle(trace);
    }
  }
#else
  (void)instance;
  (void)reason;
#endif
  return TRUE;
}
