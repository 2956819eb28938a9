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
# with two pieces of its runtime replaced in every binary
# (zig-aarch64/CMakeLists.txt): the per-thread exception record, whose
# fiber-local slot outlived an unloaded DLL and crashed the threads that
# ended afterwards, and the unwinder, whose symbols Zig's build exports from
# every DLL.
set(QUORVEL_TOOLCHAIN_RUNTIME "${QUORVEL_ZIG_TOOLS}")
# mingw-w64's headers declare every COM method nothrow (STDMETHOD) unless
# told that methods may throw, and clang then warns at each definition
# (STDMETHODIMP), which the headers give no way to mark alike. Under GCC the
# declaration is a hint only; told so here, clang treats the methods as GCC
# does. No exception leaves a method either way: each catches at its edge.
set(CMAKE_CXX_FLAGS_INIT "-DCOM_STDMETHOD_CAN_THROW")
# Test code keeps the build's optimisation: at -O0 Zig builds in its debug
# mode, which adds trapping checks of undefined behaviour and a stack
# protector whose runtime this target lacks.
set(QUORVEL_TEST_CODE_OPTIONS "")
# Zig's mingw-w64 has no -municode: a wmain program gets a main that calls it.
set(QUORVEL_WIDE_MAIN_SOURCE "${QUORVEL_ZIG_TOOLS}/WideMain.cpp")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
