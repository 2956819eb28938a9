#!/usr/bin/env bash
# The demonstration itself, on a Windows build that is already built and a
# Wine session (scripts/wine-session.sh) of its own:
#   1. registers quorvel.dll with the platform's regsvr32 and shows what it wrote;
#   2. opens a real folder window (folder-host.exe) on the sample folder, or on
#      FOLDER, right-clicks the chosen entries as the shell does, chooses
#      "Select All <ext> Files" and prints the item, its help text and the
#      list control's selection and focus read back from the control;
#   3. unregisters with regsvr32 /u and shows that nothing of it is left.
# scripts/run.sh runs it after installing and building; the end-to-end test
# of the Windows build runs it without the picture.
#
#   demo.sh --build DIR --session DIR [--work DIR] [--png FILE] [--language LOCALE] [FOLDER NAME...]
#     --build DIR    the Windows build (bin/quorvel.dll, tools/folder-host.exe)
#     --session DIR  the folder of the Wine session to use (its wineprefix); started if needed
#     --work DIR     where the sample folder is made (default: the session folder)
#     --png FILE     save a picture of the folder window afterwards, and one of
#                    the open context menu before the item is chosen (FILE-menu.png)
#     --language LOCALE  the user's language, as the Linux locale Wine takes it from
#                    (ja_JP.UTF-8, ar_SA.UTF-8, ...; `locale -a` lists them); default English
#     FOLDER NAME... a Linux folder and the entries of it to right-click, instead of the sample
# Exits non-zero with a "demo: error:" line on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-programs.sh
. "$root/scripts/wine-programs.sh"

fail() {
  echo "demo: error: $*" >&2
  exit 1
}

build= session= work= png= language=
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --session) session=${2:?--session needs a folder}; shift 2 ;;
    --work) work=${2:?--work needs a folder}; shift 2 ;;
    --png) png=$(realpath -m "${2:?--png needs a file}"); shift 2 ;;
    --language) language=${2:?--language needs a locale}; shift 2 ;;
    --*) fail "unknown option $1" ;;
    *) break ;;
  esac
done
[ -n "$build" ] && [ -n "$session" ] || fail "usage: demo.sh --build DIR --session DIR [--work DIR] [--png FILE] [--language LOCALE] [FOLDER NAME...]"
build=$(cd "$build" && pwd)
dll="$build/bin/quorvel.dll"
host="$build/tools/folder-host.exe"
[ -f "$dll" ] || fail "no $dll: build the Windows build first (scripts/build.sh windows)"
[ -f "$host" ] || fail "no $host: build the Windows build first (scripts/build.sh windows)"
mkdir -p "$session"
session=$(cd "$session" && pwd)
work=${work:-$session}

if [ $# -eq 1 ]; then fail "name at least one entry of $1 to right-click"; fi
use_sample=$([ $# -eq 0 ] && echo yes || echo no)
if [ "$use_sample" = no ]; then
  [ -d "$1" ] || fail "no such folder: $1"
  folder=$(realpath "$1")
  shift
  clicked=("$@")
fi

"$root/scripts/wine-session.sh" start "$session" || fail "cannot start the Wine session in $session"
export $("$root/scripts/wine-session.sh" env "$session" | xargs)
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the user's and the system's language from the locale: the
# platform's own programs run in English (their output is read here), the
# folder window in --language.
if [ -n "$language" ]; then
  locale -a | grep -qixF -- "$(sed 's/\.UTF-8/.utf8/' <<<"$language")" || fail "no locale $language here (locale -a lists them)"
fi
export LC_ALL=C.UTF-8
host_locale=${language:-C.UTF-8}

CLSID='{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}'
APPID='{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}'
LIBID='{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}'
IID='{C4D6E8F0-1A3B-4D5E-8F71-2B4C6D8E0A93}'
APPROVED='Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
APPROVED_WOW='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
dll_w=$(wine64_program winepath -w "$dll" 2>/dev/null)
[ -n "$dll_w" ] || fail "winepath cannot convert $dll"

# What registration writes: key, value ("@" the default value, "-" none: the
# key alone), data. The type library rows are written by RegisterTypeLib.
registry=(
  "HKCR\\AppID\\$APPID|@|Quorvel"
  "HKCR\\AppID\\Quorvel.DLL|AppID|$APPID"
  "HKCR\\Quorvel.SelecterMenu.1|@|SelecterMenu Class"
  "HKCR\\Quorvel.SelecterMenu.1\\CLSID|@|$CLSID"
  "HKCR\\Quorvel.SelecterMenu|@|SelecterMenu Class"
  "HKCR\\Quorvel.SelecterMenu\\CLSID|@|$CLSID"
  "HKCR\\Quorvel.SelecterMenu\\CurVer|@|Quorvel.SelecterMenu.1"
  "HKCR\\CLSID\\$CLSID|@|SelecterMenu Class"
  "HKCR\\CLSID\\$CLSID|AppID|$APPID"
  "HKCR\\CLSID\\$CLSID\\ProgID|@|Quorvel.SelecterMenu.1"
  "HKCR\\CLSID\\$CLSID\\VersionIndependentProgID|@|Quorvel.SelecterMenu"
  "HKCR\\CLSID\\$CLSID\\Programmable|-|"
  "HKCR\\CLSID\\$CLSID\\InprocServer32|@|$dll_w"
  "HKCR\\CLSID\\$CLSID\\InprocServer32|ThreadingModel|Apartment"
  "HKCR\\CLSID\\$CLSID\\TypeLib|@|$LIBID"
  "HKCR\\*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu|@|$CLSID"
  "HKLM\\$APPROVED|$CLSID|Velmora"
  "HKLM\\$APPROVED_WOW|$CLSID|Velmora"
  "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win64|@|$dll_w"
  "HKCR\\Interface\\$IID|@|ISelecterMenu"
)
# Keys that removal takes away whole, and keys marked NoRemove that stay.
removed_keys=(
  "HKCR\\AppID\\$APPID" "HKCR\\AppID\\Quorvel.DLL" "HKCR\\Quorvel.SelecterMenu.1" "HKCR\\Quorvel.SelecterMenu"
  "HKCR\\CLSID\\$CLSID" "HKCR\\*\\ShellEx\\ContextMenuHandlers\\QVLv1.0ContextMenu"
  "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID"
)
kept_keys=(
  "HKCR\\AppID" "HKCR\\CLSID" "HKCR\\*\\ShellEx\\ContextMenuHandlers" "HKLM\\$APPROVED" "HKLM\\$APPROVED_WOW"
)

# Whether KEY is there; a registry that cannot be read ends the demonstration
# (reg says why) rather than passing for a missing key.
key_exists() {
  local status=0
  registry_query "$1" >/dev/null || status=$?
  [ $status -ne 2 ] || fail "cannot read the registry at $1"
  return $status
}

# value_of KEY NAME: the data of one value in $value; status 1 when it is
# missing.
value_of() {
  local key=$1 name=$2 output status=0
  if [ "$name" = @ ]; then
    output=$(registry_query "$key" /ve) || status=$?
  else
    output=$(registry_query "$key" /v "$name") || status=$?
  fi
  [ $status -ne 2 ] || fail "cannot read the registry at $key"
  [ $status -eq 0 ] || return 1
  value=$(printf '%s\n' "$output" | tr -d '\r' | sed -n 's/^    .*    REG_SZ    //p' | head -n 1)
}

registered=no
# Leaves the prefix as it found it when a later step fails.
cleanup() {
  if [ "$registered" = yes ]; then wine64_program regsvr32 /u /s "$dll_w" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

echo "== Quorvel: the context-menu extension at work in a folder window"
echo "   DLL:         $dll"
echo "   Wine prefix: $WINEPREFIX"

echo
echo "== 1. Install: regsvr32 /s $dll_w"
status=0
wine64_program regsvr32 /s "$dll_w" >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || fail "regsvr32 failed with exit code $status"
registered=yes
echo "   regsvr32 exit code 0; the registry now holds:"
for row in "${registry[@]}"; do
  IFS='|' read -r key name data <<<"$row"
  if [ "$name" = - ]; then
    key_exists "$key" || fail "registration did not create $key"
    printf '   + %s (key)\n' "$key"
    continue
  fi
  value_of "$key" "$name" || fail "registration did not write $key, value ${name/@/(default)}"
  actual=$value
  [ "$actual" = "$data" ] || fail "$key, value ${name/@/(default)} holds \"$actual\", not \"$data\""
  printf '   + %s  %s = "%s"\n' "$key" "${name/@/(default)}" "$actual"
done

if [ "$use_sample" = yes ]; then
  # Mixed extensions; .txt in two letter cases; a folder whose name carries
  # .txt; notes.txt_old, whose short name (NOTE~OFG.TXT under Wine, NOTES~1.TXT
  # on a Windows volume that keeps 8.3 names) matches *.txt while its own name
  # does not; and a file without an extension.
  folder="$work/sample"
  rm -rf "$folder"
  mkdir -p "$folder/archive.txt"
  for name in notes.txt todo.txt README.TXT notes.txt_old photo.jpg report.doc Makefile; do
    echo "$name" >"$folder/$name"
  done
  clicked=(notes.txt todo.txt photo.jpg)
fi
folder_w=$(wine64_program winepath -w "$folder" 2>/dev/null)

echo
echo "== 2. Right-click in a folder window on $folder_w"
host_args=()
bmp=
if [ -n "$png" ]; then
  bmp="$work/demo-window.bmp"
  menu_bmp="$work/demo-menu.bmp"
  mkdir -p "$work"
  host_args+=(--picture "$(wine64_program winepath -w "$bmp")" --menu-picture "$(wine64_program winepath -w "$menu_bmp")")
fi
report="$work/folder-host.out"
errors="$work/folder-host.err"
mkdir -p "$work"
status=0
LC_ALL=$host_locale wine64_program "$host" "${host_args[@]}" "$folder_w" "${clicked[@]}" >"$report" 2>"$errors" </dev/null || status=$?
if [ $status -ne 0 ]; then
  cat "$errors" >&2
  fail "folder-host.exe failed with exit code $status"
fi

facts() { sed -n "s/^$1: //p" "$report"; }
joined() { facts "$1" | paste -sd ',' | sed 's/,/, /g'; }
menu_item=$(facts menu-item)
help_w=$(facts help-text-w)
help_a=$(facts help-text-a)
[ -n "$menu_item" ] || fail "the handler added no menu item"
echo "   entries shown:   $(facts view-items)"
echo "   right-clicked:   $(joined clicked)"
echo "   handler:         made by CoCreateInstance from $(facts server), file version $(facts server-version)"
echo "   menu item:       \"$menu_item\" (with its $(facts menu-bitmap) bitmap)"
echo "   help text:       \"$help_w\""
[ -z "$language" ] || echo "   language:        $language: the texts and pictures of $(facts resources)"
[ "$help_a" = "$help_w" ] || echo "   help text (ANSI): \"$help_a\""
case "$(facts view-route)" in
  view) route="view (the handler's site, service SID_SFolderView, as Explorer gives it)" ;;
  browser) route="browser (the handler's site, service SID_STopLevelBrowser)" ;;
  window) route="window (SHELLDLL_DefView > SysListView32 below the window passed to InvokeCommand)" ;;
  *) route="none: the handler found no folder view" ;;
esac
echo "   view route:      $route"
echo "   chose the item: InvokeCommand returned $(facts invoke-command); the list control now shows"
facts selected | sed 's/^/     [x] /'
facts unselected | sed 's/^/     [ ] /'
echo "   focused:         $(joined focused)"

# What the platform's listing delivered for the pattern the command asks for,
# read by folder-host.exe the way the command's folder scan reads it; and
# which of those entries the command passed over, and why.
extension=${menu_item#Select All }
extension=${extension% Files}
lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }
if [ -z "$language" ] && [ ${#extension} -gt 1 ]; then
  echo "   listed for *$extension: $(joined listed)"
  selected_names=" $(facts selected | paste -sd ' ') "
  while IFS= read -r entry; do
    name=${entry% (short name *)}
    [ "$name" != "$entry" ] || continue  # listed by its own name
    alias=${entry#"$name (short name "}
    alias=${alias%)}
    if [[ "$(lower "$name")" != *"$(lower "$extension")" ]]; then
      [[ "$selected_names" != *" $name "* ]] || fail "$name is selected, but its name does not end in $extension"
      echo "   $name: listed only through its short name $alias; passed over, since its name does not end in $extension"
    fi
  done < <(facts listed)
fi

if [ "$use_sample" = yes ]; then
  # Every entry whose own name ends in .txt, in either case, and nothing else.
  selected=" $(facts selected | paste -sd ' ') "
  for name in archive.txt notes.txt todo.txt README.TXT; do
    [[ "$selected" == *" $name "* ]] || fail "$name should be selected"
  done
  for name in photo.jpg report.doc Makefile; do
    [[ "$selected" != *" $name "* ]] || fail "$name should not be selected"
  done
  [ -n "$language" ] || [ "$menu_item" = "Select All .txt Files" ] || fail "the menu item should read \"Select All .txt Files\""
  [ "$(facts view-route)" = view ] || fail "the handler should reach the view through its site, as in Explorer"
  [ "$(facts focused | wc -l)" -eq 1 ] && [[ "$selected" == *" $(facts focused) "* ]] ||
    fail "one selected entry should hold the focus"
  [[ "$selected" != *" notes.txt_old "* ]] || fail "notes.txt_old should not be selected"
  if ! facts listed | grep -q '^notes\.txt_old'; then
    echo "   notes.txt_old: not listed for *.txt on this platform (no short name matches)"
  fi
fi

# The same right-click as Windows 11's first-level menu makes it: the
# Explorer command, in this process and in the COM surrogate.
for way in command surrogate; do
  echo
  if [ $way = command ]; then
    echo "== 2b. The same right-click through Windows 11's menu: the Explorer command SelecterCommand, in process"
  else
    echo "== 2c. The Explorer command in the COM surrogate (dllhost.exe), as Windows 11 runs it"
  fi
  command_report="$work/folder-host-$way.out"
  status=0
  LC_ALL=$host_locale wine64_program "$host" --way $way "$folder_w" "${clicked[@]}" >"$command_report" 2>"$errors" </dev/null || status=$?
  if [ $status -ne 0 ]; then
    cat "$errors" >&2
    fail "folder-host.exe --way $way failed with exit code $status"
  fi
  command_facts() { sed -n "s/^$1: //p" "$command_report"; }
  echo "   command:         $(command_facts server)"
  echo "   state:           $(command_facts command-state)"
  echo "   title:           \"$(command_facts command-title)\""
  echo "   tool tip:        \"$(command_facts command-tool-tip)\""
  echo "   icon:            $(command_facts command-icon)"
  echo "   invoked:         Invoke returned $(command_facts invoke), view route $(command_facts view-route)"
  [ "$(command_facts command-title)" = "$menu_item" ] || fail "the command's title should read \"$menu_item\""
  [ $way = command ] || echo "   surrogate:       $(command_facts surrogate)"
  echo "   selected:        $(command_facts selected | paste -sd ',' | sed 's/,/, /g')"
  [ "$(command_facts selected | sort)" = "$(facts selected | sort)" ] ||
    fail "the command should select what the classic handler selects"
  [ "$(command_facts focused)" = "$(facts focused)" ] ||
    fail "the command should leave the focus where the classic handler does"
  echo "   the same entries as the classic handler, focus on $(command_facts focused)"
done

if [ -n "$png" ]; then
  convert "$bmp" "$png" || fail "cannot convert $bmp to $png"
  convert "$menu_bmp" "${png%.png}-menu.png" || fail "cannot convert $menu_bmp"
  rm -f "$bmp" "$menu_bmp"
  echo "   picture:         $png"
  echo "   the open menu:   ${png%.png}-menu.png"
fi

echo
echo "== 3. Remove: regsvr32 /u /s $dll_w"
status=0
wine64_program regsvr32 /u /s "$dll_w" >/dev/null 2>&1 || status=$?
[ $status -eq 0 ] || fail "regsvr32 /u failed with exit code $status"
registered=no
echo "   regsvr32 /u exit code 0; the registry:"
for key in "${removed_keys[@]}"; do
  key_exists "$key" && fail "$key is still there"
  printf '   - %s: gone\n' "$key"
done
for key in "HKLM\\$APPROVED" "HKLM\\$APPROVED_WOW"; do
  value_of "$key" "$CLSID" && fail "$key still holds the value $CLSID"
  printf '   - %s  %s: gone\n' "$key" "$CLSID"
done
for key in "${kept_keys[@]}"; do
  key_exists "$key" || fail "$key, which removal keeps, is missing"
  printf '   = %s: kept (shared with other software)\n' "$key"
done
echo
echo "== done: registered, used in a folder window, and removed without a trace"
