#!/usr/bin/env bash
# Times the command on the platform's folder view under Wine, with the folder
# window on the screen, in one run: on both routes (the list control, the
# shell's view object) the command as built, the yardstick that selects and
# focuses each item in turn, and the floor, for folders of 1,000, 5,000 and
# 20,000 entries of which half match. Prints a table of times and the ratios
# (b)/(c), (b0)/(b) and the growth of (b) per route. Takes about a quarter of
# an hour: the yardstick alone needs minutes at 20,000 entries.
#   benchmark.sh [--runs N] [--sizes A,B,...] [--once-from N] [--with-walk] [--hidden]
# With --command first, times the Explorer command in the COM surrogate
# against the command in process on the same view, on Wine's view and on a
# view that offers the batched calls, for 2,000 and 20,000 entries, then the
# menu's opening (GetState and GetTitle) with 1 and 250 clicked photos of a
# folder of 251; prints the ratios and the calls that cross processes
# (tools/CommandBenchmark.cpp). --menu-only times the menu's opening alone.
#   benchmark.sh --command [--runs N] [--sizes A,B,...] [--hidden] [--menu-runs N] [--menu-only]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
build=${QUORVEL_BUILD_ROOT:-$root/build}/windows

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" windows

# A session started here is stopped at the end; one already running is left.
started_here=
[ -f "$build/wine-session/started" ] || started_here=1
"$root/scripts/wine-session.sh" start "$build"
export $("$root/scripts/wine-session.sh" env "$build" | xargs)
export WINEDLLOVERRIDES="mscoree,mshtml="

work="$build/benchmark-folders"
rm -rf "$work"
mkdir -p "$work"

# The photo folders are made here, on the Linux side, in a moment: through
# Wine each new name is first looked for in every letter case, which takes a
# minute for 20,000 of them. The program uses the entries it finds.
program=selection-benchmark
sizes=1000,5000,20000
if [ "${1:-}" = --command ]; then
  shift
  program=command-benchmark
  sizes=2000,20000
fi
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = --sizes ] && [ $((i + 1)) -lt ${#args[@]} ] && sizes=${args[$((i + 1))]}
done
for n in ${sizes//,/ }; do
  case "$n" in '' | *[!0-9]*) continue ;; esac
  folder="$work/entries-$n"
  mkdir -p "$folder"
  (cd "$folder" && {
    seq -f 'IMG_%05.0f.jpg' 0 $(((n + 1) / 2 - 1))
    seq -f 'IMG_%05.0f.xmp' 0 $((n / 2 - 1))
  } | xargs -r touch)
done
if [ $program = command-benchmark ]; then
  mkdir -p "$work/clicked-251"
  (cd "$work/clicked-251" && seq -f 'IMG_%05.0f.jpg' 0 250 | xargs touch)
fi
cleanup() {
  rm -rf "$work"
  if [ -n "$started_here" ]; then "$root/scripts/wine-session.sh" stop "$build"; fi
}
trap cleanup EXIT

if [ $program = command-benchmark ]; then
  wine64_program "$build/tools/command-benchmark.exe" "$@" "$(wine64_program winepath -w "$build/bin/quorvel.dll")" \
    "$(wine64_program winepath -w "$work")"
else
  wine64_program "$build/tools/selection-benchmark.exe" "$@" "$(wine64_program winepath -w "$work")"
fi
