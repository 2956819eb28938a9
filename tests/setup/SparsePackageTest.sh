#!/usr/bin/env bash
# shellcheck disable=SC2154 # the variables of the options are set by parse_options
# The setup program's Windows 11 path, in a fresh Wine prefix of its own, with
# recording stand-ins for the programs it runs (powershell.exe and
# certutil.exe in the 64-bit system folder: each appends its arguments to a
# record and succeeds, or fails where asked):
#   1. as Windows 10 (the prefix as made): install and uninstall run none of
#      them, and the classic handler's menu key is registered;
#   2. as Windows 11 (the registry's build number 22631): the install trusts
#      the development certificate, removes any earlier package, stages the
#      package with the installed folder as its external location and
#      provisions it, installs the package's files, and removes the classic
#      menu key (the command must not show twice); the uninstall removes the
#      package and the trust, and the folder;
#   3. as Windows 11 with the provisioning step failing: exit code 2, the
#      package steps taken back, the classic handler still registered;
#   4. as Windows 11 with a package signed by a release certificate: no
#      certificate is trusted or removed;
#   5. just for me (/CurrentUser), as Windows 11, a release-signed package:
#      registered for the current user alone (no staging, no provisioning,
#      no certificate store touched), the user's classic menu key removed,
#      nothing written for the machine; the uninstall removes the user's
#      registration alone;
#   6. the same with the user's registration failing: exit code 2, the
#      user's registration taken back, the classic handler kept;
#   7. just for me with a development-signed package: no package step at
#      all, the classic handler kept, and the details say why.
# (The fixtures built with TEST_DETAILS_VARIABLE write the per-user steps'
# details lines to the file named by QUORVEL_TEST_DETAILS too.)
# Two ways to run it:
#   default: every step above with the setup script built as a 64-bit
#     program, in a prefix for 64-bit programs (the 64-bit build's test);
#   --shipped yes: the shipped 32-bit program (--setup), in a prefix with its
#     32-bit half, end to end on Windows 11: for everyone (step 2, with
#     quorvel32.dll beside quorvel.dll), which reaches the 64-bit PowerShell
#     and certutil with file-system redirection turned off, and just for me
#     with its development-signed package (step 7, but for the details, which
#     only the test fixtures write out). The 32-bit build's test; where
#     32-bit programs run only emulated, it takes most of an hour.
set -euo pipefail

# shellcheck source=tests/setup/setup-test.sh
. "$(dirname "$0")/setup-test.sh"
shipped=""
parse_options setup setup-x64 setup-release package package-release dev-cert stand-in shipped -- "$@"
# shellcheck source=tests/setup/stand-in-prefix.sh
. "$(dirname "$0")/stand-in-prefix.sh"

if [ -n "$shipped" ]; then
  start_stand_in_prefix --with-32-bit WindowsPowerShell/v1.0/powershell.exe certutil.exe
  wine_runs_32bit || give_up "the prefix $WINEPREFIX runs no 32-bit programs"
  echo "== testing $(basename "$setup"), the shipped 32-bit program"
  set_build 22631
  step "Windows 11, for everyone: the package registered, the classic menu key removed"
  install "$setup" 0 /AllUsers
  expect_runs "the shipped program's install" "$remove" "$trust" "$add"
  expected=$(installed_files QuorvelContextMenu.msix QuorvelDevelopment.cer QuorvelLogo.png quorvel.dll quorvel32.dll \
    uninstall.exe)
  [ "$(folder_holds)" = "$expected" ] || check "the folder holds $(folder_holds)"
  cmp -s "$package" "$folder/QuorvelContextMenu.msix" || check "the installed package is not the built one"
  cmp -s "$dev_cert" "$folder/QuorvelDevelopment.cer" || check "the installed certificate is not the development certificate"
  for view in 64 32; do
    has_key "$menu_key" $view && check "the classic menu key is still registered ($view-bit view)"
    has_key "$class_key" $view || check "the classic class is not registered ($view-bit view)"
  done
  uninstall
  expect_runs "the shipped program's uninstall" "$remove" "$distrust"

  step "Windows 11, just for me, the development-signed package: the classic handler stays"
  install "$setup" 0 /CurrentUser
  expect_runs "the shipped program's per-user install"
  [ "$(folder_holds "$user_folder")" = "$(installed_files quorvel.dll quorvel32.dll uninstall.exe)" ] ||
    check "the user's folder holds $(folder_holds "$user_folder")"
  has_key "${menu_key/HKLM/HKCU}" 64 || check "the user's classic menu key is not registered"
  uninstall "$user_folder" "$user_entry"
  expect_runs "the shipped program's per-user uninstall"
  finish "the shipped program's Windows 11 steps run as expected (${SECONDS} s)"
fi

start_stand_in_prefix WindowsPowerShell/v1.0/powershell.exe certutil.exe

setup=$setup_x64
echo "== testing the setup script built as a 64-bit program"

date +"%T"
echo "== 1. Windows 10: none of the package steps"
[ -n "$windows10_build" ] && [ "$windows10_build" -lt 22000 ] ||
  check "the fresh prefix reports build \"$windows10_build\", not Windows 10"
install "$setup_x64" 0
expect_runs "the install on Windows 10"
has_key "$menu_key" 64 || check "on Windows 10 the classic menu key is not registered"
case " $(folder_holds) " in *QuorvelContextMenu*|*QuorvelLogo*|*QuorvelDevelopment*)
  check "on Windows 10 the folder holds the package's files: $(folder_holds)" ;;
esac
uninstall
expect_runs "the uninstall on Windows 10"

date +"%T"
echo "== 2. Windows 11: the package registered, the classic menu key removed"
set_build 22631
install "$setup" 0
expect_runs "the install on Windows 11" "$remove" "$trust" "$add"
cmp -s "$package" "$folder/QuorvelContextMenu.msix" || check "the installed package is not the built one"
cmp -s "$dev_cert" "$folder/QuorvelDevelopment.cer" || check "the installed certificate is not the development certificate"
[ -s "$folder/QuorvelLogo.png" ] || check "the manifest's logo is not in the installed folder"
for view in 64 32; do
  has_key "$menu_key" $view && check "on Windows 11 the classic menu key is still registered ($view-bit view)"
done
has_key "$class_key" 64 || check "the classic class is no longer registered"
uninstall
expect_runs "the uninstall on Windows 11" "$remove" "$distrust"

date +"%T"
echo "== 3. Windows 11, provisioning fails: the classic handler stays, exit code 2"
QUORVEL_STAND_IN_FAIL="Add-AppxProvisionedPackage" install "$setup_x64" 2
expect_runs "the failed install" "$remove" "$trust" "$add" "$remove" "$distrust"
has_key "$menu_key" 64 || check "after the failed package step the classic menu key is gone"
has_key "$class_key" 64 || check "after the failed package step the classic class is not registered"
case " $(folder_holds) " in
  *" quorvel.dll "*) ;;
  *) check "after the failed package step the folder holds $(folder_holds)" ;;
esac
case " $(folder_holds) " in *QuorvelContextMenu*|*QuorvelDevelopment*)
  check "the failed package step left its files: $(folder_holds)" ;;
esac
uninstall
expect_runs "the uninstall after the failed package step" "$remove" "$distrust"

date +"%T"
echo "== 4. Windows 11, a package signed with a release certificate: no certificate trusted"
install "$setup_release" 0
expect_runs "the install of the release-signed package" "$remove" "$add"
[ -e "$folder/QuorvelDevelopment.cer" ] && check "the release-signed setup installed a development certificate"
has_key "$menu_key" 64 && check "the classic menu key is still registered"
uninstall
expect_runs "the uninstall of the release-signed package" "$remove"

user_menu_key=${menu_key/HKLM/HKCU}
user_class_key=${class_key/HKLM/HKCU}
details="$work/details.txt"
QUORVEL_TEST_DETAILS=$(wine64_program winepath -w "$details" | tr -d '\r')
export QUORVEL_TEST_DETAILS
# expect_details WHAT LINE...: the details lines of the per-user steps were
# exactly these; emptied for the next step.
expect_details() {
  local what=$1 actual=""
  shift
  [ -f "$details" ] && actual=$(tr -d '\r' <"$details")
  [ "$actual" = "$(printf '%s\n' "$@")" ] || check "$what: the details say \"$actual\""
  rm -f "$details"
}
# nothing_for_the_machine WHAT: no key of the extension under HKEY_LOCAL_MACHINE.
nothing_for_the_machine() {
  local view
  ! has_key "$machine_entry" || check "$1: the machine's entry is written"
  for view in 64 32; do
    ! has_key "$menu_key" $view && ! has_key "$class_key" $view || check "$1: a machine key is written ($view-bit view)"
  done
}
registering='Windows 11: registering the command in the first-level context menu for the current user.'

date +"%T"
echo "== 5. Windows 11, just for me, a release-signed package: registered for this user alone"
install "$setup_release" 0 /CurrentUser
expect_runs "the per-user install of the release-signed package" "$remove_user" "$add_user"
expect_details "the per-user install of the release-signed package" "$registering"
[ "$(folder_holds "$user_folder")" = "$(installed_files QuorvelContextMenu.msix QuorvelLogo.png quorvel.dll uninstall.exe)" ] ||
  check "the user's folder holds $(folder_holds "$user_folder")"
cmp -s "$package_release" "$user_folder/QuorvelContextMenu.msix" || check "the user's package is not the release-signed one"
for view in 64 32; do
  has_key "$user_menu_key" $view && check "the user's classic menu key is still registered ($view-bit view)"
done
has_key "$user_class_key" 64 || check "the user's classic class is no longer registered"
nothing_for_the_machine "the per-user install"
uninstall "$user_folder" "$user_entry"
expect_runs "the per-user uninstall" "$remove_user"
has_key "$user_class_key" 64 && check "after the per-user uninstall the user's class is still registered"

date +"%T"
echo "== 6. Windows 11, just for me, the user's registration fails: the classic handler stays, exit code 2"
QUORVEL_STAND_IN_FAIL="Add-AppxPackage -Path" install "$setup_release" 2 /CurrentUser
expect_runs "the failed per-user install" "$remove_user" "$add_user" "$remove_user"
expect_details "the failed per-user install" "$registering" \
  "The Windows 11 menu entry could not be registered for the current user: failed (1)."
[ "$(folder_holds "$user_folder")" = "$(installed_files quorvel.dll uninstall.exe)" ] ||
  check "after the failed package step the user's folder holds $(folder_holds "$user_folder")"
has_key "$user_menu_key" 64 || check "after the failed package step the user's classic menu key is gone"
uninstall "$user_folder" "$user_entry"
expect_runs "the uninstall after the failed per-user step" "$remove_user"

date +"%T"
echo "== 7. Windows 11, just for me, a development-signed package: the classic handler, and the details say why"
install "$setup_x64" 0 /CurrentUser
expect_runs "the per-user install of the development-signed package"
expect_details "the per-user install of the development-signed package" \
  'Windows 11: the command stays under "Show more options". This setup'"'"'s package is signed with a development certificate, which only an administrator can make Windows trust; install for everyone to have the command in the first-level context menu.'
[ "$(folder_holds "$user_folder")" = "$(installed_files quorvel.dll uninstall.exe)" ] ||
  check "the user's folder holds $(folder_holds "$user_folder")"
has_key "$user_menu_key" 64 || check "the user's classic menu key is not registered"
nothing_for_the_machine "the per-user install of the development-signed package"
uninstall "$user_folder" "$user_entry"
expect_runs "the per-user uninstall of the development-signed package"

finish "the Windows 11 package steps run as expected, and only there"
