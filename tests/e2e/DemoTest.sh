#!/usr/bin/env bash
# The main command's own path, scripts/demo.sh, on its sample folder in this
# build's Wine session, without the picture: registration with regsvr32, the
# right-click in a real folder window, removal. Checks what it prints, and
# looks into the registry afterwards itself.
#   DemoTest.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
# shellcheck source=scripts/wine-programs.sh
. "$source_dir/scripts/wine-programs.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
check() {
  echo "FAILED: $*" >&2
  failed=1
}
# expect_unregistered KEY MESSAGE: KEY is gone, as reg says it; MESSAGE where
# it is there.
expect_unregistered() {
  local status=0
  registry_query "$1" >/dev/null || status=$?
  case $status in
    0) check "$2" ;;
    2) check "cannot read the registry at $1" ;;
  esac
}
expect_line() {
  grep -qxF -- "$1" "$work/out" || check "no line: $1"
}

status=0
"$source_dir/scripts/demo.sh" --build "$build" --session "$build" --work "$work" >"$work/out" 2>&1 || status=$?
cat "$work/out"
[ $status -eq 0 ] || check "demo.sh exited with $status"

clsid='{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}'
expect_line '   right-clicked:   notes.txt, todo.txt, photo.jpg'
expect_line '   menu item:       "Select All .txt Files" (with its 13x13 bitmap)'
expect_line '   help text:       "Click to select all files with this extension in the current folder"'
expect_line "   view route:      view (the handler's site, service SID_SFolderView, as Explorer gives it)"
# The selection as the list control holds it: every .txt entry in either
# letter case and the folder archive.txt; not the others.
for name in archive.txt notes.txt README.TXT todo.txt; do expect_line "     [x] $name"; done
for name in Makefile photo.jpg report.doc; do expect_line "     [ ] $name"; done
grep -qxE -- '     \[(x| )\] notes\.txt_old' "$work/out" || check "notes.txt_old is not listed"
# The platform's listing for *.txt delivers notes.txt_old through its short
# name, and the command passes it over: both shown from what the run read.
grep -qE -- '^   listed for \*\.txt: .*notes\.txt_old \(short name [^)]+\)' "$work/out" ||
  check "the listing for *.txt does not show notes.txt_old with its short name"
grep -qxE -- '   notes\.txt_old: listed only through its short name [^ ]+; passed over, since its name does not end in \.txt' \
  "$work/out" || check "no line saying why notes.txt_old was passed over"
focused=$(sed -n 's/^   focused:         //p' "$work/out")
grep -qxF -- "     [x] $focused" "$work/out" || check "the focused entry \"$focused\" is not a selected one"
expect_line "   + HKCR\\CLSID\\$clsid\\InprocServer32  (default) = \"$(cd "$build" && wine64_program winepath -w bin/quorvel.dll 2>/dev/null)\""
expect_line "   - HKCR\\CLSID\\$clsid: gone"
expect_line '   title:           "Select All .txt Files"'
expect_line '   state:           enabled'
grep -qF '   the same entries as the classic handler, focus on ' "$work/out" || check "no line: the command selects what the handler selects"
grep -qF '   command:         the COM surrogate (dllhost.exe) with ' "$work/out" || check "no line: the command in the surrogate"
expect_line '== done: registered, used in a folder window, and removed without a trace'

# The registry, read here rather than trusted from the report.
export $("$source_dir/scripts/wine-session.sh" env "$build" | xargs)
for key in "HKCR\\CLSID\\$clsid" 'HKCR\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu' \
           'HKCR\TypeLib\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}'; do
  expect_unregistered "$key" "$key is still registered"
done

# A failure half-way: a clear message, a non-zero exit, and the registration
# taken back.
mkdir -p "$work/folder"
touch "$work/folder/a.txt"
status=0
"$source_dir/scripts/demo.sh" --build "$build" --session "$build" --work "$work" "$work/folder" missing.txt \
  >"$work/fail.out" 2>&1 || status=$?
[ $status -ne 0 ] || check "demo.sh succeeded on a missing entry"
if ! grep -qF 'folder-host: error: no entry missing.txt' "$work/fail.out" ||
   ! grep -qF 'demo: error: folder-host.exe failed' "$work/fail.out"; then
  check "no message about missing.txt, or no demo: error: line, in what it printed:"
  sed 's/^/    /' "$work/fail.out" >&2
fi
expect_unregistered "HKCR\\CLSID\\$clsid" "a failed demonstration left the class registered"

exit $failed
