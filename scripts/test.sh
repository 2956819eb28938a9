#!/usr/bin/env bash
# Runs every test of both builds: installs what is missing, builds, runs the
# host build's tests (AddressSanitizer, UBSan) and the Windows build's tests
# under Wine with a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
export QUORVEL_BUILD_ROOT="$build_root"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" all

status=0

echo "=== host build: portable core under AddressSanitizer and UBSan ==="
(cd "$build_root/host" && ctest --output-on-failure -j2) || status=1

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "=== host build: short fuzzing run of every target ==="
  "$root/scripts/fuzz.sh" --seconds "${QUORVEL_FUZZ_SECONDS:-10}" || status=1
fi

stop_sessions() {
  "$root/scripts/wine-session.sh" stop "$build_root/windows"
  "$root/scripts/wine-session.sh" stop "$build_root/windows32"
}
trap stop_sessions EXIT

echo "=== windows build (64-bit): under Wine ==="
"$root/scripts/wine-session.sh" start "$build_root/windows"
(cd "$build_root/windows" && ctest --output-on-failure -j2) || status=1

echo "=== windows32 build (32-bit): under Wine's WoW64 ==="
"$root/scripts/wine-session.sh" start "$build_root/windows32"
# shellcheck source=scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
if (export $("$root/scripts/wine-session.sh" env "$build_root/windows32" | xargs) && wine_runs_32bit); then
  (cd "$build_root/windows32" && ctest --output-on-failure -j2) || status=1
else
  # wine32 is installed by install-deps.sh; what remains is a kernel that
  # runs no 32-bit code (some virtual machines): then nothing 32-bit can run.
  echo "=== windows32 tests NOT RUN: this machine's Wine runs no 32-bit programs (the kernel refuses" >&2
  echo "    32-bit code, or wine32 is missing); the 32-bit build was compiled, its tests were not run ===" >&2
fi

if [ $status -eq 0 ]; then
  echo "=== all tests of both builds passed ==="
else
  echo "=== some tests failed ===" >&2
fi
exit $status
