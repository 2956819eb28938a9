#!/usr/bin/env bash
# Configures and builds the builds into build/<name>.
#   build.sh [host|windows|windows32|windows-arm64|all] [TARGET...]
#     host       native, with the sanitizers: the portable core and its tests
#     windows    64-bit Windows: quorvel.dll, the tools, the tests, and the
#                setup program (which also carries windows32's quorvel32.dll,
#                built first)
#     windows32  32-bit Windows: quorvel32.dll, the tools, the tests
#     windows-arm64  ARM64 Windows (Zig): quorvel.dll and the programs of the
#                ARM64 test set (target arm64_checks) unless targets are named
#     all        all four
# With targets, only those are built (and what they need); the setup program
# is the windows build's target `setup`, the release folder
# (build/windows/release/) its target `release`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
which=${1:-all}
[ $# -gt 0 ] && shift
targets=("$@")

configure_and_build() {
  local name=$1
  shift
  local dir="$build_root/$name"
  local target_args=()
  for target in "${targets[@]}"; do target_args+=(--target "$target"); done
  # Configuring every time is cheap and picks up folders added since the last run.
  # Debug information at level 1 (function names and line tables) is what a
  # backtrace and the sanitizers' reports need; full debug information made
  # each test program's compilation about 40 % slower and its objects 4 times
  # larger.
  local flags="-O2 -g1 -DNDEBUG" cache=()
  # One compiler cache for every clone and build folder of the machine, so that
  # a fresh clone compiles again only what no clone has compiled before: paths
  # under the clone are hashed relative to it (base_dir), and the debug
  # information names the clone's folder ".", not where it lies.
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$root"
    flags+=" -fdebug-prefix-map=$root=."
    cache=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" "$@" >/dev/null
  cmake --build "$dir" "${target_args[@]}"
}

windows32() { configure_and_build windows32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake"; }

windows_arm64() {
  local wanted=("${targets[@]}")
  [ ${#targets[@]} -gt 0 ] || targets=(quorvel arm64_checks)
  # The compiler cache knows a compiler by its file's time, and the Zig
  # compilers are the clone's own wrapper scripts, new in every clone: it
  # knows them instead by what they run, the wrappers and Zig's version.
  local -x CCACHE_COMPILERCHECK="cat %compiler% $root/cmake/zig-aarch64/zig-env.sh;%compiler% --version"
  configure_and_build windows-arm64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/zig-aarch64.cmake"
  targets=("${wanted[@]}")
}

windows() {
  # The setup program and the release folder need the 32-bit and ARM64 DLLs
  # beside the 64-bit one.
  local wanted=("${targets[@]}")
  if [ ${#wanted[@]} -eq 0 ] || printf '%s\n' "${wanted[@]}" | grep -qxE 'setup|release'; then
    targets=(quorvel)
    windows32
    windows_arm64
    targets=("${wanted[@]}")
  fi
  configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DQUORVEL_DLL32="$build_root/windows32/bin/quorvel32.dll" \
    -DQUORVEL_DLLARM64="$build_root/windows-arm64/bin/quorvel.dll"
}

case "$which" in
  host) configure_and_build host ;;
  windows) windows ;;
  windows32) windows32 ;;
  windows-arm64) windows_arm64 ;;
  all)
    configure_and_build host
    windows32
    windows_arm64
    windows
    ;;
  *) echo "usage: build.sh [host|windows|windows32|windows-arm64|all] [TARGET...]" >&2; exit 2 ;;
esac
