#!/usr/bin/env bash
# Configures and builds one or both builds into build/<name>.
#   build.sh [host|windows|all] [TARGET...]
# With targets, only those are built (and what they need).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
which=${1:-all}
[ $# -gt 0 ] && shift
targets=()
for target in "$@"; do targets+=(--target "$target"); done

configure_and_build() {
  local name=$1
  shift
  local dir="$build_root/$name"
  # Configuring every time is cheap and picks up folders added since the last run.
  cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" "${targets[@]}"
}

case "$which" in
  host) configure_and_build host ;;
  windows) configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" ;;
  all)
    configure_and_build host
    configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
    ;;
  *) echo "usage: build.sh [host|windows|all] [TARGET...]" >&2; exit 2 ;;
esac
