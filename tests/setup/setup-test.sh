# shellcheck shell=bash disable=SC2034,SC2154 # variables set here for, or by, the sourcing script
# Sourced first by each setup test script (SetupTest.sh, PerUserSetupTest.sh,
# SparsePackageTest.sh, Arm64SetupTest.sh), which then calls
#   parse_options OPTION[=VARIABLE]... -- "$@"   its options; --source, --work
#   start_session [--with-32-bit]    a fresh prefix of its own in $work, or,
#                                    with session_dir set, that build's session
#                                    (stand-in-prefix.sh: start_stand_in_prefix)
#   ...its steps, each fault reported with check...
#   finish MESSAGE                   the result as the exit status
# It gets check, give_up and $failed; session and the Wine environment;
# drive_c, folder_w and folder (the installation for everyone), machine_entry,
# user_entry, clsid, class_key and menu_key; and the helpers below.
# shellcheck source=scripts/wine-programs.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-programs.sh"

failed=0
# check MESSAGE: a fault; the test goes on, and fails at the end.
check() {
  echo "FAILED: $*" >&2
  failed=1
}
# give_up MESSAGE: a fault after which nothing is worth testing.
give_up() {
  echo "FAILED: $*" >&2
  exit 1
}
# finish MESSAGE: says MESSAGE where every check passed, and ends the test.
finish() {
  if [ $failed -eq 0 ]; then echo "== $*"; fi
  exit $failed
}
# Under emulation a 32-bit program takes about a minute: each step says when it began.
step() { echo "== $* (at ${SECONDS} s)"; }

# parse_options OPTION[=VARIABLE]... -- ARG...: each "--OPTION VALUE" of the
# ARGs sets VARIABLE (by default the OPTION with _ for -); so do --source
# (source_dir) and --work (work). Any other option ends the script.
parse_options() {
  local -A variables=([--source]=source_dir [--work]=work)
  local option variable
  while [ "$1" != -- ]; do
    option=${1%%=*} variable=${1#*=}
    [ "$option" != "$1" ] || variable=${option//-/_}
    variables[--$option]=$variable
    shift
  done
  shift
  while [ $# -gt 0 ]; do
    [ -n "${variables[$1]:-}" ] || { echo "$(basename "$0"): unknown option $1" >&2; exit 2; }
    printf -v "${variables[$1]}" '%s' "$2"
    shift 2
  done
}

folder_w='C:\Program Files\Quorvel'
machine_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
user_entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
clsid='{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}'
class_key="HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32"
menu_key='HKLM\Software\Classes\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu'

session() { "$source_dir/scripts/wine-session.sh" "$1" "$session_dir" "${@:2}"; }

# start_session [--with-32-bit]: an empty $work, and the Wine session of
# session_dir (with its prefix's 32-bit half where asked) started and its
# environment exported. Without session_dir, a fresh prefix of the test's own
# in $work, stopped at exit.
# shellcheck disable=SC2120 # the option is optional
start_session() {
  local line
  if [ -z "${session_dir:-}" ]; then
    session_dir=$work
    if [ -d "$work" ]; then session stop; fi
    trap 'session stop' EXIT
  fi
  rm -rf "$work"
  mkdir -p "$work"
  session start "$@"
  while read -r line; do export "${line?}"; done < <(session env)
  # No Mono or Gecko installers: the tests need neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  drive_c="$WINEPREFIX/drive_c"
  folder="$drive_c/Program Files/Quorvel"
}

# locate_user_folder: user_w and user_folder, where an installation just for
# the user goes.
locate_user_folder() {
  user_w="$(wine64_program cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')\\Programs\\Quorvel"
  user_folder=$(wine64_program winepath -u "$user_w" 2>/dev/null | tr -d '\r')
}

# exit_status PROGRAM ARG...: the exit status of the Windows program, run
# without input or output.
exit_status() {
  if wine64_program "$@" </dev/null >/dev/null 2>&1; then echo 0; else echo $?; fi
}

# has_key KEY [VIEW [/v NAME]]: KEY (or its value NAME) is there, in the 64-
# or 32-bit view. A registry that cannot be read ends the test, rather than
# passing for a missing key.
has_key() {
  local status=0
  registry_query "$1" ${2:+"/reg:$2"} "${@:3}" >/dev/null || status=$?
  [ $status -ne 2 ] || give_up "cannot read the registry at $1"
  return $status
}
# folder_holds [FOLDER]: its files (the installation for everyone's by
# default), sorted, on one line.
# shellcheck disable=SC2120 # the folder is optional
folder_holds() { ls "${1:-$folder}" 2>/dev/null | LC_ALL=C sort | paste -sd ' '; }

# satellites BASE: the satellite resource libraries that the setup program
# puts beside BASE.dll (quorvel or quorvel32), one for each language script
# (whose first line names its satellite), one per line.
satellites() {
  sed -s -n "1s/.*quorvel\([A-Z]\{3\}\)\.dll.*/$1\1.dll/p" "$source_dir"/resources/languages/*.rc
}

# installed_files FILE...: what an installation folder holds, as folder_holds
# lists it: the FILEs, with each DLL's satellites.
installed_files() {
  local file
  for file in "$@"; do
    echo "$file"
    case "$file" in quorvel.dll | quorvel32.dll) satellites "${file%.dll}" ;; esac
  done | LC_ALL=C sort | paste -sd ' '
}

# read_quiet_uninstall ENTRY: quiet, the entry's quiet uninstall command, and
# uninstaller, its program where the command has the form "PROGRAM" /S.
read_quiet_uninstall() {
  quiet=$(wine64_program reg query "$1" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
          sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
  uninstaller=$(printf '%s' "$quiet" | sed -n 's/^"\([^"]*\)" \/S$/\1/p')
}

# wait_removed FOLDER ENTRY [ROUNDS]: an uninstaller hands over to a copy of
# itself and returns at once; wait (half a second a round, 60 rounds unless
# said) for the copy to remove the folder and the entry. Only reg's "not
# there" counts as removed: a key deleted while reg reads it makes reg end
# with status 1 and no word, which is no answer yet.
wait_removed() {
  local status
  for _ in $(seq 1 "${3:-60}"); do
    status=0
    [ -e "$1" ] || registry_query "$2" >/dev/null 2>&1 || status=$?
    [ $status -eq 1 ] && break
    sleep 0.5
  done
}

# Files to right-click in: a.txt, b.TXT and c.doc; sample_w, their folder's
# Windows path.
make_sample() {
  local name
  sample="$work/sample"
  mkdir -p "$sample"
  for name in a.txt b.TXT c.doc; do echo "$name" >"$sample/$name"; done
  sample_w=$(wine64_program winepath -w "$sample")
}

# host_report HOST OPTION...: HOST (folder-host.exe) right-clicks a.txt in the
# sample folder and chooses the item; its report in report. False where the
# host fails, its output shown.
host_report() {
  local host=$1 out="$work/host.out"
  shift
  if ! wine64_program "$host" "$@" "$sample_w" a.txt >"$out" 2>&1 </dev/null; then
    cat "$out"
    return 1
  fi
  report=$(tr -d '\r' <"$out")
}

# settle_prefix HOST: the shell's own bits (folder view settings and the like)
# are written by the first run of a host, and a restart writes its own; let
# both happen before the first snapshot.
settle_prefix() {
  wine64_program "$1" "$sample_w" a.txt >/dev/null 2>&1 </dev/null || true
  wine64_program wineboot -r </dev/null >/dev/null 2>&1 || true
}

# snapshot NAME: the registry of both views (HKLM holds the 32-bit view under
# Wow6432Node) and the user's, and the files of drive C:, in a form to compare.
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

# expect_as_before SINCE [KEYS [FILES]]: the snapshot "after" is the snapshot
# "before" but for lines that may differ: the shared keys on the way to the
# registration, which removal keeps (created by the first registration when
# missing), and the uninstaller's temporary copy, which Windows deletes at the
# next restart; and the test's own KEYS and FILES (extended regular
# expressions of lines of the registry and of the file list). SINCE says what
# came between, in the messages.
expect_as_before() {
  local since=$1 keys=${2:-} files=${3:-} shared pending temporary hive changes
  shared='^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Classes\\(AppID|CLSID|\*|\*\\ShellEx|\*\\ShellEx\\ContextMenuHandlers|TypeLib|Interface)\]$'
  shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows\\CurrentVersion\\Shell Extensions(\\Approved)?\]$'
  shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node(\\Microsoft(\\Windows(\\CurrentVersion)?)?)?\]$'
  # The 32-bit registration's approval under Software\Wow6432Node, which
  # Wine redirects once more in a 32-bit process: made when the prefix is new.
  shared+='|^\[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Wow6432Node(\\Microsoft(\\Windows(\\CurrentVersion(\\Shell Extensions(\\Approved)?)?)?)?)?\]$'
  shared+=${keys:+"|$keys"}
  pending='^"PendingFileRenameOperations"=hex\(7\):|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\]$'
  # Wine's display driver records each display device it opens for a program,
  # which a prefix shared with other tests may see again meanwhile.
  pending+='|^\[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\\{[-0-9a-f]+\}(\\0000)?\]$|^"GraphicsDriver"="winex11\.drv"$'
  for hive in HKLM HKCU; do
    changes=$(diff "$work/before-$hive.txt" "$work/after-$hive.txt" | grep '^[<>]' | sed 's/^[<>] //' |
              grep -vE "$shared" | grep -vE "$pending" | grep -v '^$' || true)
    if [ -n "$changes" ]; then
      printf '%s\n' "$changes" | head -40
      check "the registry ($hive) differs from before $since"
    fi
  done
  temporary='^> \./users/[^/]+/Temp/~nsu[^/]*\.tmp( |/Un[^/]*\.exe )'
  # In a build's shared prefix, the tests running meanwhile make and remove
  # folders of their own in the temporary folder (quorvel-*).
  temporary+='|^[<>] \./users/[^/]+/Temp/quorvel-[0-9-]+(/| )'
  changes=$(diff "$work/before-files.txt" "$work/after-files.txt" | grep '^[<>]' |
            grep -vE "$temporary${files:+|$files}" || true)
  if [ -n "$changes" ]; then
    printf '%s\n' "$changes" | head -40
    check "the files of drive C: differ from before $since"
  fi
}
