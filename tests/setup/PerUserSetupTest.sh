#!/usr/bin/env bash
# The setup program's "just for me" installation, in a fresh Wine prefix:
#   1. /S /CurrentUser installs into the user's %LOCALAPPDATA%\Programs\Quorvel,
#      lists itself under the user's Uninstall key and writes nothing of the
#      extension under HKEY_LOCAL_MACHINE (either view); a host finds the
#      handler through the merged classes (the user's) and selects with it;
#   2. a second run repairs in place;
#   3. an installation for everyone (/AllUsers) beside it: the user's
#      registration wins in the merged view, the machine's serves CoCreateInstance;
#   4. the per-user entry's quiet uninstall removes only the per-user
#      installation: the machine's still serves, through the merged view too;
#   5. the machine's quiet uninstall then leaves registry and files as before,
#      but for the shared keys that registration never removes.
# Wine 8's COM reads the machine's classes alone, so the host finds the
# per-user handler the way Windows' merged HKEY_CLASSES_ROOT does
# (folder-host --merged-classes). The script is the setup's, built as a
# 64-bit program with quorvel.dll alone (the 32-bit setup runs the same steps
# for quorvel32.dll with the 32-bit regsvr32; not run here).
set -euo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --source) source_dir=$2 ;;
    --work) work=$2 ;;
    --setup-x64) setup=$2 ;;
    --host64) host64=$2 ;;
    *) echo "PerUserSetupTest.sh: unknown option $1" >&2; exit 2 ;;
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
session() { "$source_dir/scripts/wine-session.sh" "$@" "$work"; }

if [ -d "$work" ]; then session stop; fi
rm -rf "$work"
mkdir -p "$work"
trap 'session stop' EXIT
session start
export $(session env | xargs)
export WINEDLLOVERRIDES="mscoree,mshtml="
drive_c="$WINEPREFIX/drive_c"
user_w="$(wine64_program cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')\\Programs\\Quorvel"
user_folder=$(wine64_program winepath -u "$user_w" 2>/dev/null | tr -d '\r')
machine_w='C:\Program Files\Quorvel'
machine_folder="$drive_c/Program Files/Quorvel"
user_entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
machine_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
clsid='{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}'

snapshot() {
  local name=$1 hive
  for hive in HKLM HKCU; do
    wine64_program reg export "$hive" "$work/$name-$hive.reg" /y >/dev/null 2>&1 || check "reg export $hive failed"
    iconv -f UTF-16 -t UTF-8 "$work/$name-$hive.reg" | tr -d '\r' |
      awk '{ part = $0; if (held != "") sub(/^ +/, "", part); line = held part
             if (sub(/\\$/, "", line)) { held = line; next }
             held = ""; print line }' \
      >"$work/$name-$hive.txt"
  done
  (cd "$drive_c" && find . -printf '%p %s\n' | LC_ALL=C sort) >"$work/$name-files.txt"
}

sample="$work/sample"
mkdir -p "$sample"
for name in a.txt b.TXT c.doc; do echo "$name" >"$sample/$name"; done
sample_w=$(wine64_program winepath -w "$sample")
# use_host EXPECTED-SERVER-FOLDER [--merged-classes] [LINE...]: the host
# right-clicks a.txt and chooses the item; the DLL in that folder serves it.
use_host() {
  local server=$1 mode=$2 out="$work/host.out"
  shift 2
  if ! wine64_program "$host64" $mode "$sample_w" a.txt >"$out" 2>&1 </dev/null; then
    cat "$out"
    check "folder-host $mode failed"
    return
  fi
  for line in "server: $server\\quorvel.dll" "selected: a.txt" "selected: b.TXT" "unselected: c.doc" "$@"; do
    grep -qxF -- "$line" <(tr -d '\r' <"$out") || check "folder-host $mode: no line \"$line\""
  done
}
installed_files() { ls "$1" 2>/dev/null | LC_ALL=C sort | paste -sd ' '; }
has_key() { wine64_program reg query "$1" "${@:2}" >/dev/null 2>&1; }
quiet_uninstall() {
  local entry=$1 folder=$2 quiet uninstaller status=0
  quiet=$(wine64_program reg query "$entry" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
          sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
  uninstaller=$(printf '%s' "$quiet" | sed -n 's/^"\([^"]*\)" \/S$/\1/p')
  [ -n "$uninstaller" ] || { check "$entry: no quiet uninstall command: $quiet"; return; }
  wine64_program "$uninstaller" /S </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq 0 ] || check "$uninstaller exited with $status"
  for _ in $(seq 1 60); do
    [ ! -e "$folder" ] && ! has_key "$entry" && break
    sleep 0.5
  done
  [ ! -e "$folder" ] || check "$folder is still there: $(installed_files "$folder")"
  ! has_key "$entry" || check "$entry is still there"
}

wine64_program "$host64" "$sample_w" a.txt >/dev/null 2>&1 </dev/null || true
wine64_program wineboot -r </dev/null >/dev/null 2>&1 || true
snapshot before

echo "== 1. /S /CurrentUser: just for me"
status=0
wine64_program "$setup" /S /CurrentUser </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the setup exited with $status"
[ "$(installed_files "$user_folder")" = "quorvel.dll uninstall.exe" ] ||
  check "$user_folder holds \"$(installed_files "$user_folder")\""
wine64_program reg query "$user_entry" /v InstallLocation 2>/dev/null | tr -d '\r' | grep -qF "$user_w" ||
  check "no entry under the user's Uninstall key naming $user_w"
! has_key "$machine_entry" || check "a per-user installation wrote the machine's entry"
for view in 64 32; do
  for key in "HKLM\\Software\\Classes\\CLSID\\$clsid" 'HKLM\Software\Classes\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu' \
             'HKLM\Software\Classes\TypeLib\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}'; do
    ! has_key "$key" /reg:$view || check "$key (view $view) written by a per-user installation"
  done
  ! wine64_program reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v "$clsid" \
      /reg:$view >/dev/null 2>&1 || check "the machine's approval (view $view) written by a per-user installation"
done
use_host "$user_w" --merged-classes "class-key: user" "approved: user"

echo "== 2. a second run repairs in place"
status=0
wine64_program "$setup" /S /CurrentUser </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the second run exited with $status"
[ "$(installed_files "$user_folder")" = "quorvel.dll uninstall.exe" ] || check "after the second run: $(installed_files "$user_folder")"
use_host "$user_w" --merged-classes "class-key: user"

echo "== 3. /S /AllUsers beside it"
status=0
wine64_program "$setup" /S /AllUsers </dev/null >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || check "the installation for everyone exited with $status"
[ "$(installed_files "$machine_folder")" = "quorvel.dll uninstall.exe" ] || check "$machine_folder holds \"$(installed_files "$machine_folder")\""
has_key "$user_entry" && has_key "$machine_entry" || check "not both entries are listed"
use_host "$user_w" --merged-classes "class-key: user"
use_host "$machine_w" ""

echo "== 4. the per-user entry's quiet uninstall removes the per-user installation alone"
quiet_uninstall "$user_entry" "$user_folder"
[ "$(installed_files "$machine_folder")" = "quorvel.dll uninstall.exe" ] || check "the machine's installation lost files"
has_key "$machine_entry" || check "the machine's entry is gone"
use_host "$machine_w" --merged-classes "class-key: machine" "approved: machine"
use_host "$machine_w" ""

echo "== 5. the machine's quiet uninstall: everything as before"
quiet_uninstall "$machine_entry" "$machine_folder"
snapshot after
shared='^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Classes\\(AppID|CLSID|\*|\*\\ShellEx|\*\\ShellEx\\ContextMenuHandlers|TypeLib|Interface)\]$'
shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows\\CurrentVersion\\Shell Extensions(\\Approved)?\]$'
shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node(\\Microsoft(\\Windows(\\CurrentVersion)?)?)?\]$'
shared+='|^\[HKEY_CURRENT_USER\\Software\\Classes(\\(AppID|CLSID|\*|\*\\ShellEx|\*\\ShellEx\\ContextMenuHandlers|TypeLib|Interface))?\]$'
shared+='|^\[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\(Shell Extensions(\\Approved)?|Uninstall)\]$'
pending='^"PendingFileRenameOperations"=hex\(7\):|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\]$'
# Wine's display driver records each display device it opens for a program.
pending+='|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\\{[-0-9a-f]+\}(\\0000)?\]$|^"GraphicsDriver"="winex11\.drv"$'
for hive in HKLM HKCU; do
  changes=$(diff "$work/before-$hive.txt" "$work/after-$hive.txt" | grep '^[<>]' | sed 's/^[<>] //' |
            grep -vE "$shared" | grep -vE "$pending" | grep -v '^$' || true)
  if [ -n "$changes" ]; then
    printf '%s\n' "$changes" | head -40
    check "the registry ($hive) differs from before the installations"
  fi
done
changes=$(diff "$work/before-files.txt" "$work/after-files.txt" | grep '^[<>]' |
          grep -vE '^> \./users/[^/]+/Temp/~nsu[^/]*\.tmp( |/Un[^/]*\.exe )' |
          grep -vE '^> \./users/[^/]+/AppData/Local/Programs [0-9]+$' || true)
if [ -n "$changes" ]; then
  printf '%s\n' "$changes" | head -40
  check "the files of drive C: differ from before the installations"
fi

if [ $failed -eq 0 ]; then echo "== just for me and for everyone install, stand side by side and uninstall cleanly"; fi
exit $failed
