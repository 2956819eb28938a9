#!/usr/bin/env bash
# Checks the place where the ARM64 build's Windows programs run
# (scripts/arm64-wine.sh and the CMake hook scripts/arm64-wine-exec.sh.in) in
# a throwaway build folder below /tmp, and prints how long its steps take.
# Needs the arm64 root (scripts/install-arm64-root.sh, as root); builds its own
# aarch64 probe program (probe.c) with clang-14, llvm-dlltool-14 and
# lld-link-14, so it needs nothing from the ARM64 build; uses cmake, ctest
# and xwininfo. Exit code 0 when every check passed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
repo=$(cd "$here/../.." && pwd -P)
wine="$repo/scripts/arm64-wine.sh"
work=$(mktemp -d /tmp/arm64-wine-check.XXXXXX)
build="$work/build"
mkdir -p "$build/sub"
cleanup() {
  "$wine" stop "$build" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
pass() { echo "ok    $*"; }
fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f s", b - a }'; }

# --- the probe: a real aarch64 Windows program ------------------------------
for tool in clang-14 llvm-dlltool-14 lld-link-14 cmake ctest xwininfo; do
  command -v "$tool" >/dev/null || { echo "run-checks: $tool is missing" >&2; exit 2; }
done
llvm-dlltool-14 -m arm64 -d "$here/kernel32.def" -l "$work/kernel32.lib"
llvm-dlltool-14 -m arm64 -d "$here/user32.def" -l "$work/user32.lib"
clang-14 --target=aarch64-pc-windows-msvc -O2 -ffreestanding -fno-stack-protector -Wall -Wextra -Werror \
  -c "$here/probe.c" -o "$work/probe.obj"
lld-link-14 /nologo /machine:arm64 /subsystem:console /entry:start /nodefaultlib \
  "/out:$build/probe.exe" "$work/probe.obj" "$work/kernel32.lib" "$work/user32.lib"
probe="$build/probe.exe"
probe_windows="Z:${probe//\//\\}"

# --- a new prefix --------------------------------------------------------------
t=$(now)
if "$wine" start "$build" >/dev/null && [ -f "$build/wineprefix/system.reg" ]; then
  pass "start makes the prefix and serves it ($(seconds_since "$t"))"
else
  fail "start"
  exit 1
fi

# --- streams, exit codes, working folder -----------------------------------------
# case NAME EXIT-CODE STDOUT STDERR STDIN WORKDIR PROGRAM [ARG...]: runs PROGRAM
# through `arm64-wine.sh exec` and compares exit code, stdout and stderr exactly.
case_() {
  local name=$1 want_rc=$2 want_out=$3 want_err=$4 input=$5 wd=$6 rc=0
  shift 6
  printf '%s' "$input" >"$work/in"
  (cd "$wd" && "$wine" exec "$build" "$@") <"$work/in" >"$work/out" 2>"$work/err" || rc=$?
  if [ "$rc" = "$want_rc" ] && [ "$(cat -v "$work/out")" = "$(printf '%s' "$want_out" | cat -v)" ] &&
     [ "$(cat -v "$work/err")" = "$(printf '%s' "$want_err" | cat -v)" ]; then
    pass "$name"
  else
    fail "$name: exit code $rc (want $want_rc), stdout [$(cat -v "$work/out")], stderr [$(cat -v "$work/err")]"
  fi
}
windows_build="Z:${build//\//\\}"
lines=$(seq 1 1000)$'\n' # more than one read of the probe's buffer
#     name                                      code out                  err        in        workdir      program and arguments
case_ "Wine's cmd, output"                      0    $'hi\r\n'            ''         ''        "$build"     cmd /c echo hi
case_ "Wine's cmd, exit code"                   7    ''                   ''         ''        "$build"     cmd /c exit 7
case_ "Wine's cmd, stdin"                       0    $'got hello\r\n'     ''         $'hello\n' "$build"    cmd /c 'set /p v=& call echo got %v%'
case_ "working folder kept"                     0    "$windows_build\\sub"$'\r\n' '' ''        "$build/sub" cmd /c cd
case_ "probe by Linux path, stdout"             0    $'text\n'            ''         ''        "$build"     "$probe" out text
case_ "probe, stderr alone"                     0    ''                   $'oops\n'  ''        "$build"     "$probe" err oops
case_ "probe, stdin copied through"             0    "$lines"             ''         "$lines"  "$build"     "$probe" cat
case_ "probe by Windows path, exit code"        42   ''                   ''         ''        "$build"     "$probe_windows" exit 42
case_ "probe by relative path"                  0    $'rel\n'             ''         ''        "$build"     ./probe.exe out rel
case_ "missing program: Wine's own message"     53   ''                   'wine: failed to open "./no-such.exe": c0000135'$'\n' '' "$build" ./no-such.exe

# A working folder the root does not see is refused, not replaced.
rc=0
(cd / && "$wine" exec "$build" cmd /c exit 0) >/dev/null 2>"$work/err" || rc=$?
if [ $rc = 125 ] && grep -q "not visible inside the root" "$work/err"; then
  pass "working folder outside the bound folders refused (125)"
else
  fail "working folder outside the bound folders: exit code $rc, stderr [$(cat "$work/err")]"
fi

# --- the prefix's registry -----------------------------------------------------
key='HKCU\Software\QuorvelArm64Check'
if "$wine" exec "$build" reg add "$key" /v Name /d "value 1" /f >/dev/null &&
   "$wine" exec "$build" reg query "$key" /v Name | grep -q 'Name.*REG_SZ.*value 1'; then
  pass "reg add, then reg query reads it back"
else
  fail "reg add / reg query"
fi
rc=0
"$wine" exec "$build" reg query "$key" /v Missing >/dev/null 2>&1 || rc=$?
if [ $rc -ne 0 ]; then pass "reg query of a missing value fails (exit code $rc)"; else fail "reg query of a missing value succeeded"; fi

# --- a window on the session's display ---------------------------------------------
title="arm64-probe-$$"
display=$(cat "$build/wine-session/display")
coproc window { "$wine" exec "$build" "$probe" window "$title" 2>&1; }
line=
read -r -t 60 line <&"${window[0]}" || true
seen=no
if xwininfo -display "$display" -root -tree 2>/dev/null | grep -qF "\"$title\""; then seen=yes; fi
rc=0
# shellcheck disable=SC2154 # set by coproc
wait "$window_PID" || rc=$?
if [ "$line" = "shown 1280x1024" ] && [ $seen = yes ] && [ $rc = 0 ]; then
  pass "a window made inside the root shows on the session's Xvfb $display"
else
  fail "window: probe said [$line], on the display: $seen, exit code $rc"
fi

# --- times ---------------------------------------------------------------------
t=$(now)
for _ in 1 2 3 4 5; do "$wine" exec "$build" "$probe" exit 0; done
echo "time  a warm program run: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f s", (b - a) / 5 }') (mean of 5, probe.exe)"
t=$(now)
for _ in 1 2 3 4 5; do "$wine" exec "$build" reg query "$key" >/dev/null; done
echo "time  a warm reg query: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f s", (b - a) / 5 }') (mean of 5)"
"$wine" stop "$build"
t=$(now)
"$wine" exec "$build" "$probe" exit 0
echo "time  a program run that starts the stopped session first: $(seconds_since "$t")"

# --- ctest, two at a time, from a stopped session ------------------------------------
# The CMake hook configured as the ARM64 build configures it, and used as its
# emulator: for the probe (an executable target) and by hand for Wine's reg.
mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(arm64_wine_check NONE)
function(configure_hook)
  set(CMAKE_SOURCE_DIR "$repo")
  configure_file("$repo/scripts/arm64-wine-exec.sh.in" "\${CMAKE_BINARY_DIR}/arm64-wine-exec.sh" @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()
configure_hook()
set(CMAKE_CROSSCOMPILING_EMULATOR "\${CMAKE_BINARY_DIR}/arm64-wine-exec.sh")
add_executable(probe IMPORTED)
set_target_properties(probe PROPERTIES IMPORTED_LOCATION "$probe")
enable_testing()
add_test(NAME out-a COMMAND probe out alpha)
add_test(NAME out-b COMMAND probe out beta)
add_test(NAME exit-3 COMMAND probe exit 3)
add_test(NAME reg-a COMMAND \${CMAKE_CROSSCOMPILING_EMULATOR} reg add [=[$key]=] /v A /d a /f)
add_test(NAME reg-b COMMAND \${CMAKE_CROSSCOMPILING_EMULATOR} reg add [=[$key]=] /v B /d b /f)
set_tests_properties(out-a PROPERTIES PASS_REGULAR_EXPRESSION "^alpha\n\$")
set_tests_properties(out-b PROPERTIES PASS_REGULAR_EXPRESSION "^beta\n\$")
set_tests_properties(exit-3 PROPERTIES WILL_FAIL TRUE)
set_tests_properties(out-a out-b exit-3 reg-a reg-b PROPERTIES TIMEOUT 120)
EOF
cmake -S "$work/project" -B "$build" >/dev/null
"$wine" stop "$build"
t=$(now)
if (cd "$build" && timeout 600 ctest -j2 --output-on-failure >"$work/ctest.log" 2>&1); then
  pass "ctest -j2, five tests through the hook, the first two starting the session at once ($(seconds_since "$t"))"
else
  fail "ctest -j2:"
  cat "$work/ctest.log"
fi
if "$wine" exec "$build" reg query "$key" | tr -d '\r' | grep -c -E '^ +(A|B) +REG_SZ +(a|b)$' | grep -qx 2; then
  pass "both concurrent reg add calls landed"
else
  fail "the concurrent reg add calls"
fi

if [ $failures -eq 0 ]; then
  echo "all checks passed"
else
  echo "$failures checks failed"
  exit 1
fi
