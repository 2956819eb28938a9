#!/usr/bin/env bash
# shellcheck disable=SC2154 # the variables of the options are set by parse_options
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

# shellcheck source=tests/setup/setup-test.sh
. "$(dirname "$0")/setup-test.sh"
parse_options setup-x64=setup host64 -- "$@"
start_session
locate_user_folder

make_sample
# use_host EXPECTED-SERVER-FOLDER [--merged-classes] [LINE...]: the host
# right-clicks a.txt and chooses the item; the DLL in that folder serves it.
use_host() {
  local server=$1 mode=$2 line
  shift 2
  host_report "$host64" ${mode:+"$mode"} || { check "folder-host $mode failed"; return; }
  for line in "server: $server\\quorvel.dll" "selected: a.txt" "selected: b.TXT" "unselected: c.doc" "$@"; do
    grep -qxF -- "$line" <<<"$report" || check "folder-host $mode: no line \"$line\""
  done
}
quiet_uninstall() {
  local entry=$1 dir=$2 quiet uninstaller status
  read_quiet_uninstall "$entry"
  [ -n "$uninstaller" ] || { check "$entry: no quiet uninstall command: $quiet"; return; }
  status=$(exit_status "$uninstaller" /S)
  [ "$status" -eq 0 ] || check "$uninstaller exited with $status"
  wait_removed "$dir" "$entry"
  [ ! -e "$dir" ] || check "$dir is still there: $(folder_holds "$dir")"
  ! has_key "$entry" || check "$entry is still there"
}

settle_prefix "$host64"
snapshot before
files=$(installed_files quorvel.dll uninstall.exe)

echo "== 1. /S /CurrentUser: just for me"
status=$(exit_status "$setup" /S /CurrentUser)
[ "$status" -eq 0 ] || check "the setup exited with $status"
[ "$(folder_holds "$user_folder")" = "$files" ] ||
  check "$user_folder holds \"$(folder_holds "$user_folder")\""
wine64_program reg query "$user_entry" /v InstallLocation 2>/dev/null | tr -d '\r' | grep -qF "$user_w" ||
  check "no entry under the user's Uninstall key naming $user_w"
! has_key "$machine_entry" || check "a per-user installation wrote the machine's entry"
for view in 64 32; do
  for key in "HKLM\\Software\\Classes\\CLSID\\$clsid" "$menu_key" \
             'HKLM\Software\Classes\TypeLib\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}'; do
    ! has_key "$key" $view || check "$key (view $view) written by a per-user installation"
  done
  ! has_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' $view /v "$clsid" || check "the machine's approval (view $view) written by a per-user installation"
done
use_host "$user_w" --merged-classes "class-key: user" "approved: user"

echo "== 2. a second run repairs in place"
status=$(exit_status "$setup" /S /CurrentUser)
[ "$status" -eq 0 ] || check "the second run exited with $status"
[ "$(folder_holds "$user_folder")" = "$files" ] || check "after the second run: $(folder_holds "$user_folder")"
use_host "$user_w" --merged-classes "class-key: user"

echo "== 3. /S /AllUsers beside it"
status=$(exit_status "$setup" /S /AllUsers)
[ "$status" -eq 0 ] || check "the installation for everyone exited with $status"
[ "$(folder_holds "$folder")" = "$files" ] || check "$folder holds \"$(folder_holds "$folder")\""
has_key "$user_entry" && has_key "$machine_entry" || check "not both entries are listed"
use_host "$user_w" --merged-classes "class-key: user"
use_host "$folder_w" ""

echo "== 4. the per-user entry's quiet uninstall removes the per-user installation alone"
quiet_uninstall "$user_entry" "$user_folder"
[ "$(folder_holds "$folder")" = "$files" ] || check "the machine's installation lost files"
has_key "$machine_entry" || check "the machine's entry is gone"
use_host "$folder_w" --merged-classes "class-key: machine" "approved: machine"
use_host "$folder_w" ""

echo "== 5. the machine's quiet uninstall: everything as before"
quiet_uninstall "$machine_entry" "$folder"
snapshot after
# The user's keys on the way to the per-user registration and entry, and the
# user's folder of programs, are kept as the machine's shared keys are.
user_keys='^\[HKEY_CURRENT_USER\\Software\\Classes(\\(AppID|CLSID|\*|\*\\ShellEx|\*\\ShellEx\\ContextMenuHandlers|TypeLib|Interface))?\]$'
user_keys+='|^\[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\(Shell Extensions(\\Approved)?|Uninstall)\]$'
expect_as_before "the installations" "$user_keys" '^> \./users/[^/]+/AppData/Local/Programs [0-9]+$'

finish "just for me and for everyone install, stand side by side and uninstall cleanly"
