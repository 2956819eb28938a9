#!/usr/bin/env bash
# The main job: shows quorvel.dll at work in a real folder window.
#   run.sh                 on a sample folder it makes
#   run.sh FOLDER NAME...  on a folder of this machine, right-clicking the named entries
# In English; QUORVEL_LANGUAGE=ja_JP.UTF-8 (any locale of `locale -a` whose
# language has a satellite: docs/translating.md) shows it in another language.
# Installs what is missing, builds quorvel.dll and folder-host.exe, makes a
# fresh private Wine prefix in build/demo with its own virtual display, and
# runs scripts/demo.sh there: register, right-click, picture, unregister.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QUORVEL_BUILD_ROOT:-$root/build}
export QUORVEL_BUILD_ROOT="$build_root"

if [ $# -eq 1 ]; then
  echo "usage: run.sh [FOLDER NAME...]   (NAME: entries of FOLDER to right-click)" >&2
  exit 2
fi
if [ $# -gt 1 ] && [ ! -d "$1" ]; then
  echo "run.sh: error: no such folder: $1" >&2
  exit 2
fi
# Resolved before anything changes the working folder.
if [ $# -gt 0 ]; then set -- "$(realpath "$1")" "${@:2}"; fi

# 64-bit programs only: the demonstration needs no wine32 and no emulation.
"$root/scripts/install-deps.sh" --64-bit-only
echo "== building quorvel.dll and folder-host.exe (build/windows)"
"$root/scripts/build.sh" windows quorvel folder_host

# A prefix of the demonstration's own, made afresh: nothing registered in it
# before, and nothing shared with the test runs. Made for 64-bit programs
# alone, so quickly even where wine32 is installed.
demo="$build_root/demo"
if [ -d "$demo" ]; then "$root/scripts/wine-session.sh" stop "$demo"; fi
rm -rf "$demo"
mkdir -p "$demo"
trap '"$root/scripts/wine-session.sh" stop "$demo"' EXIT
echo "== making a private Wine prefix ($demo/wineprefix) and a virtual display"
"$root/scripts/wine-session.sh" start "$demo"
echo

language_args=()
[ -z "${QUORVEL_LANGUAGE:-}" ] || language_args=(--language "$QUORVEL_LANGUAGE")
"$root/scripts/demo.sh" --build "$build_root/windows" --session "$demo" --work "$demo" --png "$demo/demo.png" \
  "${language_args[@]}" "$@"
[ -n "${QUORVEL_LANGUAGE:-}" ] ||
  echo "In another language: QUORVEL_LANGUAGE=ja_JP.UTF-8 $0 (or de_DE.UTF-8, ar_SA.UTF-8, ...: docs/translating.md)"
