#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# for a bounded time, printing its executions and findings.
#   fuzz.sh [--seconds N] [target...]     default: 60 seconds, every target
# A finding is saved under build/fuzz/findings/<target>/ and fails the run;
# add the input to fuzz/corpus/<target>/ once it is fixed, as a regression case.
# fuzz/<target>.dict, where present, gives the fuzzer the words of its input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
dir="$build_root/fuzz"
seconds=60
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

"$root/scripts/install-deps.sh"
if [ ! -f "$dir/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON >/dev/null
fi
cmake --build "$dir" >/dev/null

if [ ${#targets[@]} -eq 0 ]; then
  for seeds in "$root"/fuzz/corpus/*/; do
    name=$(basename "$seeds")
    [ -x "$dir/fuzz/${name}_fuzzer" ] && targets+=("$name")
  done
fi

# fuzz_target NAME: one target's run; its exit status is kept in its findings folder.
fuzz_target() {
  local name=$1 exe="$dir/fuzz/${1}_fuzzer" work="$dir/corpus/$1" findings="$dir/findings/$1"
  local dict=() rc=0
  mkdir -p "$work" "$findings"
  [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
  # Seeds first: every committed input, findings of the past included, runs each time.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$exe" "$work" "$root/fuzz/corpus/$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" -max_len=70000 -timeout=20 "${dict[@]}" >"$dir/findings/$name.log" 2>&1 || rc=$?
  echo "$rc" >"$dir/findings/$name.status"
}

# Each target is one process on one processor: as many run at once as there
# are processors, each for the full time.
at_once=$(nproc)
for name in "${targets[@]}"; do
  rm -f "$dir/findings/$name.status"
  while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do wait -n || true; done
  fuzz_target "$name" &
done
wait

status=0
printf '%-12s %10s %12s %9s %s\n' target seconds executions corpus findings
for name in "${targets[@]}"; do
  log="$dir/findings/$name.log"
  findings="$dir/findings/$name"
  rc=$(cat "$dir/findings/$name.status" 2>/dev/null || echo 1)
  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  corpus=$(find "$dir/corpus/$name" -type f | wc -l)
  found=$(find "$findings" -type f | wc -l)
  printf '%-12s %10s %12s %9s %s\n' "$name" "$seconds" "${executions:-0}" "$corpus" "$found"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    echo "fuzz: $name found a failure; see $log and $findings" >&2
    grep -m 20 -E 'ERROR|check failed|runtime error|SUMMARY' "$log" >&2 || true
    status=1
  fi
done
exit $status
