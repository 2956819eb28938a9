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
#      certificate is trusted or removed.
# Every step runs the setup script built as a 64-bit program, in a prefix for
# 64-bit programs: where 32-bit programs run only emulated, the shipped 32-bit
# program's run took most of an hour here. (The shipped program reaches the
# 64-bit PowerShell with file-system redirection turned off, which this test
# does not exercise; Arm64SetupTest.sh does, for the shipped program's ARM64
# path.)
set -euo pipefail

# shellcheck source=tests/setup/setup-test.sh
. "$(dirname "$0")/setup-test.sh"
parse_options setup setup-x64 setup-release package dev-cert stand-in -- "$@"
# shellcheck source=tests/setup/stand-in-prefix.sh
. "$(dirname "$0")/stand-in-prefix.sh"
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

finish "the Windows 11 package steps run as expected, and only there"
