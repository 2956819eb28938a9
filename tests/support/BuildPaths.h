// Where this build folder put what the Windows tests load and start. The
// names are defined in one small source generated for each build folder
// (tests/CMakeLists.txt), so that a clone at another path compiles that
// source again, not every test that uses them.
#pragma once

namespace quorvel {

// As Linux names them; WinePath (tests/support/WinePath.h) gives the name
// that programs in the Wine prefix use.
extern const char kBuiltDll[];           // the build's quorvel.dll (quorvel32.dll)
extern const char kBuiltTypeLibrary[];   // the type library that the DLL carries, as widl wrote it
extern const char kBuiltProxyDll[];      // the proxy of IExplorerCommand
extern const char kFolderHostExe[];      // folder-host.exe
extern const char kResourceHolderExe[];  // a program that holds the library's resources
extern const char kExitHostExe[];        // exit-host.exe
extern const char kUnloadHostExe[];      // unload-host.exe
extern const char kServerTestFolder[];   // the server tests' satellites and the library without type library

}  // namespace quorvel
