// hold-library.exe LIBRARY READY STOP: keeps LIBRARY loaded, as Explorer
// keeps a shell extension it has used, from writing the file READY until the
// file STOP appears (two minutes at most). Exit code 1 when it cannot load.
// Windows refuses to overwrite, delete or rename a loaded library's file;
// Wine does not, so the file is also held open for reading alone.
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"

int wmain(int count, wchar_t** arguments) {
  if (count != 4) return 2;
  quorvel::CLibraryHandle library(LoadLibraryW(arguments[1]));
  quorvel::CScopedFileHandle held(
      CreateFileW(arguments[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!library.IsValid() || !held.IsValid()) return 1;
  quorvel::CScopedFileHandle ready(
      CreateFileW(arguments[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  for (int waited = 0; waited < 1200 && GetFileAttributesW(arguments[3]) == INVALID_FILE_ATTRIBUTES; ++waited) {
    Sleep(100);
  }
  return 0;
}
