#!/usr/bin/env bash
# Runs every test of every build: installs what is missing, builds, runs the
# host build's tests (AddressSanitizer, UBSan) and the Windows builds' tests
# under Wine with a virtual display. The 32-bit build's tests run whole where
# the kernel runs 32-bit programs; where they run under emulation, a subset
# (QUORVEL_WINDOWS32_TESTS=all or subset chooses). The ARM64 build's set
# (tests/arm64) runs under the arm64 root's Wine through qemu-user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
export QUORVEL_BUILD_ROOT="$build_root"

minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

# Each phase's wall time, printed at the end of every run, passed or not.
phases=()
phase_start=$SECONDS
run_start=$SECONDS
# end_phase NAME: the time since the previous phase ended is NAME's.
end_phase() {
  phases+=("$1|$((SECONDS - phase_start))")
  phase_start=$SECONDS
}
print_phases() {
  local entry
  echo "=== wall time of each phase ==="
  for entry in "${phases[@]}"; do printf '    %-44s %s\n' "${entry%%|*}" "$(minutes "${entry##*|}")"; done
  printf '    %-44s %s\n' "in all" "$(minutes $((SECONDS - run_start)))"
}

stop_sessions() {
  "$root/scripts/wine-session.sh" stop "$build_root/windows"
  "$root/scripts/wine-session.sh" stop "$build_root/windows32"
  "$root/scripts/arm64-wine.sh" stop "$build_root/windows-arm64"
}
at_exit() {
  # A 32-bit half still running ends with its session.
  stop_sessions
  print_phases
}
trap at_exit EXIT

"$root/scripts/install-deps.sh"
end_phase "installs (install-deps.sh)"
for build in host windows32 windows-arm64 windows; do
  "$root/scripts/build.sh" $build
  end_phase "build: $build"
done

status=0

echo "=== host build: portable core under AddressSanitizer and UBSan ==="
(cd "$build_root/host" && ctest --output-on-failure -j2) || status=1
end_phase "host tests"

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "=== host build: short fuzzing run of every target ==="
  "$root/scripts/fuzz.sh" --seconds "${QUORVEL_FUZZ_SECONDS:-10}" || status=1
  end_phase "fuzzing"
fi

# The 32-bit half: quorvel32.dll, its tests and the shipped setup program (a
# 32-bit program), in a prefix of its own made with its 32-bit half. It runs
# beside the 64-bit suite and the ARM64 set: each build has its own prefix,
# wineserver and display, and Wine's tests leave much of the processors idle
# while they wait on one another.
# shellcheck source=scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
i386=$(i386_programs)
suite=${QUORVEL_WINDOWS32_TESTS:-}
if [ -z "$suite" ]; then
  if [ "$i386" = emulated ]; then suite=subset; else suite=all; fi
fi
# run_32bit_half: the half's tests; status 1 when one failed or the prefix runs no 32-bit program.
run_32bit_half() {
  local half_start=$SECONDS status=0
  if [ "$i386" = none ]; then
    # install-deps.sh could not make 32-bit programs run (it says why): nothing 32-bit can run.
    echo "=== windows32 tests NOT RUN: this machine runs no 32-bit programs, natively or emulated (see" >&2
    echo "    scripts/install-deps.sh); the 32-bit build was compiled, its tests were not run ===" >&2
    return 0
  fi
  if [ "$suite" = all ]; then
    echo "=== windows32 build (32-bit): the whole suite, under Wine's WoW64 ($i386 32-bit programs) ==="
  else
    echo "=== windows32 build (32-bit): 32-bit programs run under emulation here, some tens of times slower:"
    echo "    the subset for what only the 32-bit build can get wrong (tests/emulated) and the shipped setup program ==="
  fi
  "$root/scripts/wine-session.sh" start "$build_root/windows32" --with-32-bit
  echo "    (the prefix with its 32-bit half ready after $(minutes $((SECONDS - half_start))))"
  if ! (export $("$root/scripts/wine-session.sh" env "$build_root/windows32" | xargs) && wine_runs_32bit); then
    echo "=== windows32: the prefix $build_root/windows32/wineprefix runs no 32-bit program, although this machine runs" >&2
    echo "    i386 programs ($i386): is wine32:i386 installed (scripts/install-deps.sh)? ===" >&2
    return 1
  fi
  if [ "$suite" = all ]; then
    (cd "$build_root/windows32" && ctest --output-on-failure -j2 -LE emulated-subset) || status=1
  else
    (cd "$build_root/windows32" && ctest --test-dir tests/emulated --output-on-failure -j2) || status=1
    (cd "$build_root/windows32" && ctest --test-dir tests/setup --output-on-failure) || status=1
  fi
  return $status
}

beside_start=$SECONDS
half_log="$build_root/windows32/test-output.log"
half_time="$build_root/windows32/test-seconds"
rm -f "$half_time"
(
  start=$SECONDS
  half_status=0
  run_32bit_half >"$half_log" 2>&1 || half_status=1
  echo "$((SECONDS - start))" >"$half_time"
  exit $half_status
) &
half_pid=$!
echo "=== windows32 build (32-bit): its half runs beside the next two, its output follows them ==="

echo "=== windows build (64-bit): under Wine ==="
"$root/scripts/wine-session.sh" start "$build_root/windows"
(cd "$build_root/windows" && ctest --output-on-failure -j2) || status=1
end_phase "the 64-bit suite (windows)"

# The ARM64 build: its set of tests under Debian's arm64 Wine through qemu-user.
# shellcheck source=scripts/arm64-root.sh
. "$root/scripts/arm64-root.sh"
if ! arm64_root_ready; then
  echo "=== windows-arm64 tests NOT RUN: the arm64 root is missing (scripts/install-arm64-root.sh says why) ===" >&2
  status=1
else
  echo "=== windows-arm64 build (ARM64): the ARM64 set (tests/arm64) under arm64 Wine through qemu-user ==="
  (cd "$build_root/windows-arm64" && ctest --test-dir tests/arm64 --output-on-failure -j2) || status=1
  "$root/scripts/arm64-wine.sh" stop "$build_root/windows-arm64"
fi
end_phase "the ARM64 set (windows-arm64)"

wait "$half_pid" || status=1
cat "$half_log"
phases+=("the 32-bit half (windows32), beside them|$(cat "$half_time" 2>/dev/null || echo 0)")
phases+=("the three, side by side|$((SECONDS - beside_start))")
phase_start=$SECONDS

if [ $status -eq 0 ]; then
  echo "=== all tests of every build passed ==="
else
  echo "=== some tests failed ===" >&2
fi
exit $status
