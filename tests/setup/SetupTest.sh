#!/usr/bin/env bash
# The setup program as an administrator uses it, in a fresh Wine prefix:
#   1. /S installs; the registration table is exact in each view, the
#      installed-programs entry carries the DLLs' version;
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

while [ $# -gt 0 ]; do
  case "$1" in
    --source) source_dir=$2 ;;
    --work) work=$2 ;;
    --setup) setup=$2 ;;
    --setup-x64) setup_x64=$2 ;;
    --refusing) refusing=$2 ;;
    --refusing-x64) refusing_x64=$2 ;;
    --check) check_exe=$2 ;;
    --hold) hold_exe=$2 ;;
    --host64) host64=$2 ;;
    --host32) host32=$2 ;;
    --session) session_build=$2 ;;
    *) echo "SetupTest.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
# shellcheck source=scripts/wine-programs.sh
. "$source_dir/scripts/wine-programs.sh"

failed=0
check() {
  echo "FAILED: $*" >&2
  failed=1
}
session_build=${session_build:-}
emulated=0
if [ -z "$session_build" ]; then
  # A fresh prefix of the test's own.
  session() { "$source_dir/scripts/wine-session.sh" "$@" "$work"; }
  if [ -d "$work" ]; then session stop; fi
  rm -rf "$work"
  mkdir -p "$work"
  trap 'session stop' EXIT
  session start
else
  # The build's prefix, shared with its other tests and left running.
  session() { "$source_dir/scripts/wine-session.sh" "$1" "$session_build" "${@:2}"; }
  rm -rf "$work"
  mkdir -p "$work"
  session start --with-32-bit
fi
export $(session env | xargs)
export WINEDLLOVERRIDES="mscoree,mshtml="
drive_c="$WINEPREFIX/drive_c"
folder_w='C:\Program Files\Quorvel'
folder="$drive_c/Program Files/Quorvel"

if [ -n "$session_build" ]; then
  with32=1
  if ! wine_runs_32bit; then
    echo "FAILED: the prefix $WINEPREFIX runs no 32-bit programs (see scripts/install-deps.sh)" >&2
    exit 1
  fi
  for program in "$setup" "$refusing" "$check_exe" "$hold_exe" "$host64" "$host32"; do
    [ -f "$program" ] || { echo "FAILED: no $program: build both Windows builds (scripts/build.sh all)" >&2; exit 1; }
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
# Under emulation a 32-bit program takes about a minute: each step says how long it took.
step() { echo "== $* (at ${SECONDS} s)"; }

run_check() {
  local expect=$1 output
  if ! output=$(QUORVEL_EXPECT=$expect QUORVEL_FOLDER=$folder_w QUORVEL_WITH_32=$with32 wine64_program "$check_exe" 2>&1); then
    printf '%s\n' "$output"
    check "the $expect state is not as expected"
  fi
}

# The registry of both views (HKLM holds the 32-bit view under Wow6432Node)
# and the user's, and the files of drive C:, in a form to compare.
snapshot() {
  local name=$1 hive
  for hive in HKLM HKCU; do
    wine64_program reg export "$hive" "$work/$name-$hive.reg" /y >/dev/null 2>&1 || check "reg export $hive failed"
    # One line per value: hex data continued over lines is joined.
    iconv -f UTF-16 -t UTF-8 "$work/$name-$hive.reg" | tr -d '\r' |
      awk '{ part = $0; if (held != "") sub(/^ +/, "", part); line = held part
             if (sub(/\\$/, "", line)) { held = line; next }
             held = ""; print line }' \
      >"$work/$name-$hive.txt"
  done
  (cd "$drive_c" && find . -printf '%p %s\n' | LC_ALL=C sort) >"$work/$name-files.txt"
}

# The host makes the handler by CoCreateInstance, right-clicks a.txt and
# chooses the item; the installed DLL of its bitness must serve it.
sample="$work/sample"
mkdir -p "$sample"
for name in a.txt b.TXT c.doc; do echo "$name" >"$sample/$name"; done
sample_w=$(wine64_program winepath -w "$sample")
# use_host HOST DLL ROUTE [OPTION...]: the view must be reached by ROUTE
# (folder-host's view-route line) with the host's OPTIONs.
use_host() {
  local host=$1 dll=$2 route=$3 out="$work/host.out"
  shift 3
  if ! wine64_program "$host" "$@" "$sample_w" a.txt >"$out" 2>&1 </dev/null; then
    cat "$out"
    check "$(basename "$host") $* ($dll) failed"
    return
  fi
  for line in "server: $folder_w\\$dll" "menu-item: Select All .txt Files" "selected: a.txt" "selected: b.TXT" \
              "unselected: c.doc" "view-route: $route"; do
    grep -qxF -- "$line" "$out" || check "$dll $*: no line \"$line\" in the host's report"
  done
}

# The shell's own bits (folder view settings and the like) are written by the
# first run of the host, and a restart writes its own; let both happen before
# the first snapshot.
wine64_program "$host64" "$sample_w" a.txt >/dev/null 2>&1 </dev/null || true
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || true
if [ -n "$session_build" ]; then
  # The prefix is shared: nothing of an earlier registration may be left.
  run_check removed
  [ $failed -eq 0 ] || { echo "FAILED: the prefix $WINEPREFIX holds an earlier installation or registration" >&2; exit 1; }
fi
snapshot before

step "1. silent install"
status=0
wine64_program "$setup" /S </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the setup exited with $status"
expected_files="quorvel.dll uninstall.exe"
[ $with32 = 1 ] && expected_files="quorvel.dll quorvel32.dll uninstall.exe"
actual_files=$(ls "$folder" 2>/dev/null | LC_ALL=C sort | paste -sd ' ')
[ "$actual_files" = "$expected_files" ] || check "the folder holds \"$actual_files\", not \"$expected_files\""
run_check installed

step "2. hosts of each bitness use the installed handler"
use_host "$host64" quorvel.dll view
if [ $with32 = 1 ]; then
  # The 32-bit host through the site with no window, and through the window alone.
  use_host "$host32" quorvel32.dll view --no-window
  use_host "$host32" quorvel32.dll window --site none
fi

step "3. a second run repairs in place"
status=0
wine64_program "$setup" /S </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the second run exited with $status"
actual_files=$(ls "$folder" 2>/dev/null | LC_ALL=C sort | paste -sd ' ')
[ "$actual_files" = "$expected_files" ] || check "after the second run the folder holds \"$actual_files\""
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
status=0
wine64_program "$setup" /S </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq $((3010 % 256)) ] || check "the run over a DLL in use exited with $status, not 3010 (restart needed)"
touch "$stop"
wait $holder || check "hold-library.exe failed"
# A restart: the waiting copy takes the DLL's place and is registered; the
# second one removes the registration helper that ran once.
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || check "wineboot -r failed"
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || check "wineboot -r failed"
actual_files=$(ls "$folder" 2>/dev/null | LC_ALL=C sort | paste -sd ' ')
[ "$actual_files" = "$expected_files" ] || check "after the restart the folder holds \"$actual_files\""
run_check installed
use_host "$host64" quorvel.dll view
fi

step "4. the entry's quiet uninstall command"
quiet=$(wine64_program reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel' \
          /v QuietUninstallString 2>/dev/null | tr -d '\r' | sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
uninstaller=$(printf '%s' "$quiet" | sed -n 's/^"\([^"]*\)" \/S$/\1/p')
[ -n "$uninstaller" ] || check "no quiet uninstall command of the form \"...\" /S: $quiet"
status=0
wine64_program "$uninstaller" /S </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the uninstaller exited with $status"
# The uninstaller hands over to its copy in the temporary folder, which does
# the work and ends on its own (within 30 s; under emulation up to half an hour on a busy machine).
rounds=60
[ $emulated = 1 ] && rounds=3600
for _ in $(seq 1 $rounds); do
  [ ! -e "$folder" ] && ! wine64_program reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel' \
    >/dev/null 2>&1 && break
  sleep 0.5
done
[ ! -e "$folder" ] || check "the folder is still there: $(ls "$folder" | paste -sd ' ')"
run_check removed
snapshot after

# What may differ: the shared keys on the way to the registration, which
# removal keeps (created by the first registration when missing), and the
# uninstaller's temporary copy, which Windows deletes at the next restart.
shared='^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Classes\\(AppID|CLSID|\*|\*\\ShellEx|\*\\ShellEx\\ContextMenuHandlers|TypeLib|Interface)\]$'
shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows\\CurrentVersion\\Shell Extensions(\\Approved)?\]$'
shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node(\\Microsoft(\\Windows(\\CurrentVersion)?)?)?\]$'
pending='^"PendingFileRenameOperations"=hex\(7\):|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\]$'
# Wine's record of each start of its desktop, which a prefix shared with other
# tests may see again meanwhile.
pending+='|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\\{[-0-9a-f]+\}(\\0000)?\]$|^"GraphicsDriver"="winex11\.drv"$'
for hive in HKLM HKCU; do
  changes=$(diff "$work/before-$hive.txt" "$work/after-$hive.txt" | grep '^[<>]' | sed 's/^[<>] //' |
            grep -vE "$shared" | grep -vE "$pending" | grep -v '^$' || true)
  if [ -n "$changes" ]; then
    printf '%s\n' "$changes" | head -40
    check "the registry ($hive) differs from before the install"
  fi
done
# In the build's shared prefix, the other tests running meanwhile make and
# remove folders of their own in the temporary folder (quorvel-*).
changes=$(diff "$work/before-files.txt" "$work/after-files.txt" | grep '^[<>]' |
          grep -vE '^> \./users/[^/]+/Temp/~nsu[^/]*\.tmp( |/Un[^/]*\.exe )' |
          grep -vE '^[<>] \./users/[^/]+/Temp/quorvel-[0-9-]+(/| )' || true)
if [ -n "$changes" ]; then
  printf '%s\n' "$changes" | head -40
  check "the files of drive C: differ from before the install"
fi

if [ $emulated = 1 ]; then
  echo "== 5. NOT RUN under emulation: a DLL that cannot be registered (the same script's 64-bit build"
  echo "   runs it in windows.Setup.InstallUpgradeUninstall)"
else
step "5. a DLL that cannot be registered"
status=0
wine64_program "$refusing" /S </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 2 ] || check "the setup with a DLL that cannot be registered exited with $status, not 2"
[ ! -e "$folder" ] || check "the failed setup left $(ls "$folder" | paste -sd ' ')"
run_check removed
fi

if [ $failed -eq 0 ]; then echo "== the setup program installs, repairs, and uninstalls cleanly (${SECONDS} s)"; fi
exit $failed
