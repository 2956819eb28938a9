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

echo "=== windows build: under Wine ==="
"$root/scripts/wine-session.sh" start "$build_root/windows"
trap '"$root/scripts/wine-session.sh" stop "$build_root/windows"' EXIT
(cd "$build_root/windows" && ctest --output-on-failure -j2) || status=1

if [ $status -eq 0 ]; then
  echo "=== all tests of both builds passed ==="
else
  echo "=== some tests failed ===" >&2
fi
exit $status
