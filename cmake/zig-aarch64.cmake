# Cross compilation for ARM64 Windows (Windows on ARM's native Explorer loads
# only ARM64 DLLs) with Zig's clang, lld, mingw-w64 C runtime and libc++, for
# aarch64-windows-gnu; scripts/install-zig.sh installs it. Debian packages no
# aarch64 mingw-w64 toolchain. The test executables run under Debian's arm64
# Wine in an arm64 root through qemu-user (scripts/arm64-wine.sh).
#
# What differs from the GCC builds is kept here and in cmake/zig-aarch64/:
# the compiler wrappers, the resource compiler, how a wmain program is
# entered, and how the C++ runtime keeps its per-thread exception state.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(QUORVEL_ZIG_TOOLS "${CMAKE_CURRENT_LIST_DIR}/zig-aarch64")
set(CMAKE_C_COMPILER "${QUORVEL_ZIG_TOOLS}/zig-cc")
set(CMAKE_CXX_COMPILER "${QUORVEL_ZIG_TOOLS}/zig-c++")
set(CMAKE_AR "${QUORVEL_ZIG_TOOLS}/zig-ar" CACHE FILEPATH "")
set(CMAKE_RANLIB "${QUORVEL_ZIG_TOOLS}/zig-ranlib" CACHE FILEPATH "")
# Zig has no resource compiler: LLVM's windres writes an ARM64 COFF object,
# preprocessing with clang against the mingw-w64 headers that Zig carries.
set(CMAKE_RC_COMPILER "${QUORVEL_ZIG_TOOLS}/windres")
# The IDL compiler's output does not depend on the processor: the 64-bit
# type library serves ARM64 as it serves x64.
set(QUORVEL_WIDL x86_64-w64-mingw32-widl)
set(QUORVEL_WIDL_TARGET -m64)

# libc++ and the C runtime are linked in statically by Zig for this target,
# with two parts of its runtime replaced in every binary (Runtime.cmake): the
# per-thread exception record, whose fiber-local form crashes a thread that
# ends after the DLL was unloaded, and the unwinder, whose symbols Zig's
# build exports from every DLL (zig-aarch64/CMakeLists.txt).
set(QUORVEL_TOOLCHAIN_RUNTIME "${QUORVEL_ZIG_TOOLS}")
# Zig's mingw-w64 headers declare COM methods nothrow (STDMETHOD); the
# definitions (STDMETHODIMP) do not repeat it, as with Microsoft's headers.
set(CMAKE_CXX_FLAGS_INIT "-Wno-missing-exception-spec")
# Zig's mingw-w64 has no -municode: a wmain program gets a main that calls it.
set(QUORVEL_WIDE_MAIN_SOURCE "${QUORVEL_ZIG_TOOLS}/WideMain.cpp")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
