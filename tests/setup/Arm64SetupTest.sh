#!/usr/bin/env bash
# shellcheck disable=SC2154 # the variables of the options are set by parse_options
# The setup program on ARM64 Windows, in a fresh Wine prefix of its own. On
# Windows the setup asks the platform for the native machine (IsWow64Process2);
# Wine reports its own (x64) alone, so the setup here is a fixture built with
# TEST_NATIVE_MACHINE_VARIABLE=QUORVEL_TEST_NATIVE_MACHINE, told the machine
# through that variable (0xAA64 as ARM64 Windows answers; unset, Wine's own
# answer). The ARM64 DLL cannot run here: recording stand-ins take the place of
# the native regsvr32 (system32's), powershell.exe and certutil.exe (see
# stand-in-prefix.sh), and the test checks the files installed byte for byte
# and the exact commands run. A table of cases (machine, Windows 10 or 11, for
# everyone or just for me): the DLL of that machine as quorvel.dll, and no
# other build's; the package of that machine on Windows 11; the native regsvr32
# registering it (just for me: /n /i:user); a second run repairing in place;
# the uninstaller unregistering it the same way and leaving no folder. Then a
# registration refused on ARM64: exit code 2, taken back.
# Two ways to run it:
#   default: the setup script built as a 64-bit program (the 64-bit build's test);
#   --dll32 DLL: the script built as the shipped 32-bit program, with
#     quorvel32.dll, in a prefix with its 32-bit half (the 32-bit build's test;
#     under emulation each 32-bit program takes about a minute): the ARM64
#     case on Windows 11 for everyone alone, which also shows this program
#     reaching system32's regsvr32 and PowerShell with file-system redirection
#     off, and quorvel32.dll installed beside the ARM64 DLL and registered in
#     the 32-bit view.
set -euo pipefail

# shellcheck source=tests/setup/setup-test.sh
. "$(dirname "$0")/setup-test.sh"
dll32=""
parse_options setup dll64 dllarm64 dll32 package package-arm64 dev-cert stand-in -- "$@"
# shellcheck source=tests/setup/stand-in-prefix.sh
. "$(dirname "$0")/stand-in-prefix.sh"

for file in "$setup" "$dll64" "$dllarm64" $dll32 "$package" "$package_arm64" "$dev_cert" "$stand_in"; do
  [ -f "$file" ] || give_up "no $file"
done
# The PE header's machine, as four hex digits.
pe_machine() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' '
}
[ "$(pe_machine "$dllarm64")" = aa64 ] || give_up "$dllarm64 is no ARM64 DLL"
[ "$(pe_machine "$dll64")" = 8664 ] || give_up "$dll64 is no x64 DLL"

if [ -n "$dll32" ]; then
  start_stand_in_prefix --with-32-bit regsvr32.exe WindowsPowerShell/v1.0/powershell.exe certutil.exe
  wine_runs_32bit || give_up "the prefix $WINEPREFIX runs no 32-bit programs"
  echo "== testing $(basename "$setup") as the shipped 32-bit program, with quorvel32.dll"
else
  start_stand_in_prefix regsvr32.exe WindowsPowerShell/v1.0/powershell.exe certutil.exe
  echo "== testing $(basename "$setup"), the setup script built as a 64-bit program"
fi
locate_user_folder

# run_case NAME MACHINE WINDOWS MODE RUNS DLL PACKAGE
#   MACHINE  the native machine told to the setup ("" for Wine's own answer)
#   WINDOWS  10 or 11, as the registry's build number says
#   MODE     /AllUsers or /CurrentUser
#   RUNS     how many times the setup runs before the uninstall (2: a repair)
#   DLL      the file expected as quorvel.dll: $dllarm64 or $dll64
#   PACKAGE  the file expected as QuorvelContextMenu.msix, "" for none
run_case() {
  local name=$1 machine=$2 windows=$3 mode=$4 runs=$5 dll=$6 expected_package=$7
  local dir dir_w entry other=$dll64 expected run file
  # regsvr32's arguments as the setup writes them (for the user: PerUserInstall.nsh).
  local register_options="/s" unregister_options="/s /u"
  step "$name"
  [ "$dll" = "$dll64" ] && other=$dllarm64
  if [ "$mode" = /CurrentUser ]; then
    dir=$user_folder dir_w=$user_w entry=$user_entry
    register_options="/s  /n /i:user" unregister_options="/s /u /n /i:user"
  else
    dir=$folder dir_w=$folder_w entry=$machine_entry
  fi
  if [ "$windows" = 11 ]; then set_build 22631; else set_build "$windows10_build"; fi
  local register="regsvr32.exe|$register_options \"$dir_w\\quorvel.dll\""
  local unregister="regsvr32.exe|$unregister_options \"$dir_w\\quorvel.dll\""
  local installed=(quorvel.dll uninstall.exe) install_runs=("$register") uninstall_runs=("$unregister")
  [ -n "$dll32" ] && installed+=(quorvel32.dll)
  if [ -n "$expected_package" ]; then
    installed+=(QuorvelContextMenu.msix QuorvelDevelopment.cer QuorvelLogo.png)
    install_runs+=("$remove" "$trust" "$add")
    uninstall_runs=("$remove" "$distrust" "$unregister")
  fi
  expected=$(installed_files "${installed[@]}")

  for run in $(seq 1 "$runs"); do
    QUORVEL_TEST_NATIVE_MACHINE=$machine install "$setup" 0 "$mode"
    expect_runs "$name: run $run" "${install_runs[@]}"
    [ "$(folder_holds "$dir")" = "$expected" ] ||
      check "$name: run $run: the folder holds \"$(folder_holds "$dir")\", not \"$expected\""
    cmp -s "$dll" "$dir/quorvel.dll" || check "$name: run $run: quorvel.dll is not $dll"
    for file in "$dir"/*; do
      cmp -s "$other" "$file" && check "$name: run $run: $(basename "$file") is the other build, $other"
    done
    [ -z "$dll32" ] || cmp -s "$dll32" "$dir/quorvel32.dll" || check "$name: quorvel32.dll is not $dll32"
    # The x64 build's satellites serve the ARM64 DLL too.
    for file in $(satellites quorvel); do
      cmp -s "$(dirname "$dll64")/$file" "$dir/$file" || check "$name: run $run: $file is not the x64 build's"
    done
    [ -z "$expected_package" ] || cmp -s "$expected_package" "$dir/QuorvelContextMenu.msix" ||
      check "$name: run $run: the installed package is not $expected_package"
    has_key "$entry" || check "$name: run $run: no entry $entry"
  done
  if [ -n "$dll32" ]; then
    wine64_program reg query "$class_key" /ve /reg:32 2>/dev/null | grep -qiF "$dir_w\\quorvel32.dll" ||
      check "$name: quorvel32.dll is not registered in the 32-bit view"
  fi
  uninstall "$dir" "$entry"
  expect_runs "$name: the uninstall" "${uninstall_runs[@]}"
  if [ -n "$dll32" ]; then
    has_key "$class_key" 32 && check "$name: quorvel32.dll is still registered in the 32-bit view"
  fi
  return 0
}

arm64=0xAA64 x64=0x8664
if [ -n "$dll32" ]; then
  run_case "ARM64, Windows 11, for everyone"  $arm64 11 /AllUsers 1 "$dllarm64" "$package_arm64"
else
  run_case "Wine's own machine (x64)"         ""     10 /AllUsers 1 "$dll64"    ""
  run_case "ARM64, for everyone, and a repair" $arm64 10 /AllUsers 2 "$dllarm64" ""
  run_case "ARM64, just for me"               $arm64 10 /CurrentUser 1 "$dllarm64" ""
  run_case "ARM64, Windows 11"                $arm64 11 /AllUsers 1 "$dllarm64" "$package_arm64"
  run_case "x64, Windows 11"                  $x64   11 /AllUsers 1 "$dll64"    "$package"

  step "ARM64: the native regsvr32 refuses the DLL"
  set_build "$windows10_build"
  QUORVEL_TEST_NATIVE_MACHINE=$arm64 QUORVEL_STAND_IN_FAIL="regsvr32.exe|/s \"" install "$setup" 2 /AllUsers
  expect_runs "the refused registration" "regsvr32.exe|/s \"$folder_w\\quorvel.dll\"" \
    "regsvr32.exe|/s /u \"$folder_w\\quorvel.dll\""
  [ ! -e "$folder" ] || check "the refused registration left $(folder_holds)"
  ! has_key "$machine_entry" || check "the refused registration left its entry"
fi

finish "on ARM64 the setup installs and registers the ARM64 build, elsewhere the x64 build (${SECONDS} s)"
