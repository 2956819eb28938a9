#!/usr/bin/env bash
# shellcheck disable=SC2154 # the variables of the options are set by parse_options
# The setup program as an administrator uses it, in a fresh Wine prefix:
#   1. /S installs; the registration table is exact in each view, the
#      installed-programs entry carries the DLLs' version; every installed
#      program file, the uninstaller included, is signed (against the build's
#      development certificate) and covered by its signature;
#   2. a 64-bit and a 32-bit folder-host.exe make the handler by its class
#      identifier and select entries in a real folder view;
#   3. a second /S run leaves one installation, still registered; run while
#      a program keeps quorvel.dll loaded, it replaces the DLL at the next
#      restart and exits with 3010;
#   4. the quiet uninstall command of the entry leaves the registry (both
#      views) and the file system as they were, but for the shared keys that
#      registration never removes;
#   5. a setup whose DLL cannot be registered fails with exit code 2 and
#      leaves nothing behind.
# Two ways to run it:
#   without --session: the same script built as a 64-bit program, with
#     quorvel.dll alone, in a fresh prefix of its own made for 64-bit programs
#     (the 64-bit build's test);
#   --session BUILD: the shipped program (a 32-bit program, both DLLs) in that
#     build's Wine session, whose prefix has its 32-bit half (the 32-bit
#     build's test); a 32-bit host also reaches the view through the site with
#     no window and through the window. Where 32-bit programs run under
#     emulation, steps 3b and 5 are left to the 64-bit build's test of the same
#     script, and the test says so.
set -euo pipefail

# shellcheck source=tests/setup/setup-test.sh
. "$(dirname "$0")/setup-test.sh"
session_build=""
parse_options setup setup-x64 refusing refusing-x64 check=check_exe hold=hold_exe host64 host32 \
  session=session_build certificate -- "$@"
emulated=0
if [ -z "$session_build" ]; then
  # A fresh prefix of the test's own.
  start_session
else
  # The build's prefix, shared with its other tests and left running.
  session_dir=$session_build
  start_session --with-32-bit
fi

if [ -n "$session_build" ]; then
  with32=1
  wine_runs_32bit || give_up "the prefix $WINEPREFIX runs no 32-bit programs (see scripts/install-deps.sh)"
  for program in "$setup" "$refusing" "$check_exe" "$hold_exe" "$host64" "$host32"; do
    [ -f "$program" ] || give_up "no $program: build both Windows builds (scripts/build.sh all)"
  done
  [ "$(i386_programs)" = emulated ] && emulated=1
  echo "== testing $(basename "$setup") (32-bit program, both DLLs)$([ $emulated = 1 ] && echo ', 32-bit programs under emulation')"
else
  with32=0
  setup=$setup_x64
  refusing=$refusing_x64
  echo "== testing the setup script built as a 64-bit program, which installs quorvel.dll alone, in a prefix"
  echo "   for 64-bit programs; the shipped 32-bit program and quorvel32.dll: windows32.Setup.ShippedProgram"
fi
run_check() {
  local expect=$1 output
  if ! output=$(QUORVEL_EXPECT=$expect QUORVEL_FOLDER=$folder_w QUORVEL_WITH_32=$with32 wine64_program "$check_exe" 2>&1); then
    printf '%s\n' "$output"
    check "the $expect state is not as expected"
  fi
}

# The host makes the handler by CoCreateInstance, right-clicks a.txt and
# chooses the item; the installed DLL of its bitness must serve it.
make_sample
# use_host HOST DLL ROUTE [OPTION...]: the view must be reached by ROUTE
# (folder-host's view-route line) with the host's OPTIONs.
use_host() {
  local host=$1 dll=$2 route=$3 line
  shift 3
  host_report "$host" "$@" || { check "$(basename "$host") $* ($dll) failed"; return; }
  for line in "server: $folder_w\\$dll" "menu-item: Select All .txt Files" "selected: a.txt" "selected: b.TXT" \
              "unselected: c.doc" "view-route: $route"; do
    grep -qxF -- "$line" <<<"$report" || check "$dll $*: no line \"$line\" in the host's report"
  done
}

settle_prefix "$host64"
if [ -n "$session_build" ]; then
  # The prefix is shared: nothing of an earlier registration may be left.
  run_check removed
  [ $failed -eq 0 ] || give_up "the prefix $WINEPREFIX holds an earlier installation or registration"
fi
snapshot before

step "1. silent install"
status=$(exit_status "$setup" /S)
[ "$status" -eq 0 ] || check "the setup exited with $status"
expected_files=$(installed_files quorvel.dll uninstall.exe)
[ $with32 = 1 ] && expected_files=$(installed_files quorvel.dll quorvel32.dll uninstall.exe)
actual_files=$(folder_holds)
[ "$actual_files" = "$expected_files" ] || check "the folder holds \"$actual_files\", not \"$expected_files\""
run_check installed
installed_files=()
for file in $expected_files; do installed_files+=("$folder/$file"); done
python3 "$source_dir/tests/signing/check_signature.py" --certificate "$certificate" "${installed_files[@]}" \
  >"$work/signatures.txt" 2>&1 || { cat "$work/signatures.txt"; check "not every installed file is signed and covered"; }

step "2. hosts of each bitness use the installed handler"
use_host "$host64" quorvel.dll view
if [ $with32 = 1 ]; then
  # The 32-bit host through the site with no window, and through the window alone.
  use_host "$host32" quorvel32.dll view --no-window
  use_host "$host32" quorvel32.dll window --site none
fi

step "3. a second run repairs in place"
# A damaged satellite of each DLL is written again.
damaged=(quorvelJPN.dll)
[ $with32 = 1 ] && damaged+=(quorvel32JPN.dll)
for file in "${damaged[@]}"; do
  cp "$folder/$file" "$work/$file.installed"
  : >"$folder/$file"
done
status=$(exit_status "$setup" /S)
[ "$status" -eq 0 ] || check "the second run exited with $status"
actual_files=$(folder_holds)
[ "$actual_files" = "$expected_files" ] || check "after the second run the folder holds \"$actual_files\""
for file in "${damaged[@]}"; do
  cmp -s "$work/$file.installed" "$folder/$file" || check "the second run did not write $file again"
done
entries=$(wine64_program reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null |
          tr -d '\r' | grep -ci 'quorvel' || true)
[ "$entries" = 1 ] || check "$entries installed-programs entries instead of one"
run_check installed
use_host "$host64" quorvel.dll view
# (Under emulation the 32-bit host's minute is spent once, after the install.)
[ $with32 = 1 ] && [ $emulated = 0 ] && use_host "$host32" quorvel32.dll view

if [ $emulated = 1 ]; then
  echo "== 3b. NOT RUN under emulation: a run while a program keeps quorvel.dll loaded (the same script's"
  echo "   64-bit build runs it in windows.Setup.InstallUpgradeUninstall)"
else
step "3b. a run while a program keeps quorvel.dll loaded"
# The DLL in use is replaced at the next restart, and the setup says so with
# exit code 3010 (Wine hands the shell its low 8 bits: 194).
ready="$work/held.ready"
stop="$work/held.stop"
wine64_program "$hold_exe" "$folder_w\\quorvel.dll" "$(wine64_program winepath -w "$work")\\held.ready" "$(wine64_program winepath -w "$work")\\held.stop" \
  </dev/null >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 100); do [ -e "$ready" ] && break; sleep 0.2; done
[ -e "$ready" ] || check "hold-library.exe did not load quorvel.dll"
status=$(exit_status "$setup" /S)
[ "$status" -eq $((3010 % 256)) ] || check "the run over a DLL in use exited with $status, not 3010 (restart needed)"
touch "$stop"
wait $holder || check "hold-library.exe failed"
# A restart: the waiting copy takes the DLL's place and is registered; the
# second one removes the registration helper that ran once.
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || check "wineboot -r failed"
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || check "wineboot -r failed"
actual_files=$(folder_holds)
[ "$actual_files" = "$expected_files" ] || check "after the restart the folder holds \"$actual_files\""
run_check installed
use_host "$host64" quorvel.dll view
fi

step "4. the entry's quiet uninstall command"
read_quiet_uninstall "$machine_entry"
[ -n "$uninstaller" ] || check "no quiet uninstall command of the form \"...\" /S: $quiet"
status=$(exit_status "$uninstaller" /S)
[ "$status" -eq 0 ] || check "the uninstaller exited with $status"
# The uninstaller's copy ends within 30 s; under emulation up to half an hour on a busy machine.
rounds=60
[ $emulated = 1 ] && rounds=3600
wait_removed "$folder" "$machine_entry" $rounds
[ ! -e "$folder" ] || check "the folder is still there: $(folder_holds)"
run_check removed
snapshot after
expect_as_before "the install"

if [ $emulated = 1 ]; then
  echo "== 5. NOT RUN under emulation: a DLL that cannot be registered (the same script's 64-bit build"
  echo "   runs it in windows.Setup.InstallUpgradeUninstall)"
else
step "5. a DLL that cannot be registered"
status=$(exit_status "$refusing" /S)
[ "$status" -eq 2 ] || check "the setup with a DLL that cannot be registered exited with $status, not 2"
[ ! -e "$folder" ] || check "the failed setup left $(folder_holds)"
run_check removed
fi

finish "the setup program installs, repairs, and uninstalls cleanly (${SECONDS} s)"
