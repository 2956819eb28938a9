#!/usr/bin/env bash
# Runs folder-host.exe of the Windows build on a folder of this machine: the
# platform's folder view shows the folder, the named entries are right-clicked
# and "Select All <ext> Files" is chosen; the report goes to standard output.
# quorvel.dll is registered in the build's prefix for the run and removed after.
#   folder-host.sh [--preselect NAME]... [--png FILE.png] [--site none|view|browser] [--no-window] FOLDER NAME...
# FOLDER is a Linux path; --png saves a picture of the window afterwards;
# --site and --no-window choose what the handler is given to reach the view.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"
build=${QUORVEL_BUILD_ROOT:-$root/build}/windows
host="$build/tools/folder-host.exe"
[ -f "$host" ] && [ -f "$build/bin/quorvel.dll" ] || "$root/scripts/build.sh" windows quorvel folder_host >/dev/null

args=()
png=
while [ $# -gt 0 ]; do
  case "$1" in
    --png) png=$(realpath -m "${2:?--png needs a file}"); shift 2 ;;
    --preselect | --site | --way) args+=("$1" "${2:?$1 needs a value}"); shift 2 ;;
    --no-window) args+=("$1"); shift ;;
    *) break ;;
  esac
done
folder=${1:?usage: folder-host.sh [--preselect NAME]... [--png FILE.png] [--site none|view|browser] [--no-window] FOLDER NAME...}
shift
[ -d "$folder" ] || { echo "folder-host.sh: no such folder: $folder" >&2; exit 1; }

"$root/scripts/wine-session.sh" start "$build"
export $("$root/scripts/wine-session.sh" env "$build" | xargs)
export WINEDLLOVERRIDES="mscoree,mshtml="

dll=$(wine64_program winepath -w "$build/bin/quorvel.dll")
bmp=$(mktemp --suffix=.bmp)
trap 'rm -f "$bmp"; wine64_program regsvr32 /u /s "$dll" >/dev/null 2>&1 || true' EXIT
wine64_program regsvr32 /s "$dll" >/dev/null 2>&1 || { echo "folder-host.sh: regsvr32 $dll failed" >&2; exit 1; }
if [ -n "$png" ]; then args+=(--picture "$(wine64_program winepath -w "$bmp")"); fi
wine64_program "$host" "${args[@]}" "$(wine64_program winepath -w "$(realpath "$folder")")" "$@"
if [ -n "$png" ]; then
  convert "$bmp" "$png"
  echo "png: $png"
fi
