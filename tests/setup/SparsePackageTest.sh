#!/usr/bin/env bash
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
# does not exercise.)
set -euo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --source) source_dir=$2 ;;
    --work) work=$2 ;;
    --setup) setup=$2 ;;
    --setup-x64) setup_x64=$2 ;;
    --setup-release) setup_release=$2 ;;
    --package) package=$2 ;;
    --dev-cert) dev_cert=$2 ;;
    --stand-in) stand_in=$2 ;;
    *) echo "SparsePackageTest.sh: unknown option $1" >&2; exit 2 ;;
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
# Wine has programs of these names of its own: the stand-ins are to run.
export WINEDLLOVERRIDES="mscoree,mshtml=;powershell.exe,certutil.exe=n"
drive_c="$WINEPREFIX/drive_c"
folder_w='C:\Program Files\Quorvel'
folder="$drive_c/Program Files/Quorvel"

setup=$setup_x64
echo "== testing the setup script built as a 64-bit program"

# The stand-ins, where the setup finds the platform's programs.
system32="$drive_c/windows/system32"
mkdir -p "$system32/WindowsPowerShell/v1.0"
cp "$stand_in" "$system32/WindowsPowerShell/v1.0/powershell.exe"
cp "$stand_in" "$system32/certutil.exe"
record="$work/runs.txt"
export QUORVEL_STAND_IN_RECORD
QUORVEL_STAND_IN_RECORD=$(wine64_program winepath -w "$record")
export QUORVEL_STAND_IN_FAIL="" QUORVEL_STAND_IN_EXIT=""

thumbprint=$(openssl x509 -inform DER -in "$dev_cert" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
powershell='powershell.exe|-NoLogo -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command'
remove="$powershell \"\$ErrorActionPreference = 'Stop'; Get-AppxProvisionedPackage -Online | Where-Object { \$_.DisplayName -eq 'Quorvel.ContextMenu' } | ForEach-Object { Remove-AppxProvisionedPackage -Online -PackageName \$_.PackageName | Out-Null }; Get-AppxPackage -AllUsers -Name 'Quorvel.ContextMenu' | ForEach-Object { Remove-AppxPackage -Package \$_.PackageFullName -AllUsers }\""
msix_w="'$folder_w\\QuorvelContextMenu.msix'"
add="$powershell \"\$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $msix_w -ExternalLocation '$folder_w' -Stage; Add-AppxProvisionedPackage -Online -PackagePath $msix_w -SkipLicense | Out-Null\""
trust="certutil.exe|-f -addstore TrustedPeople \"$folder_w\\QuorvelDevelopment.cer\""
distrust="certutil.exe|-delstore TrustedPeople $thumbprint"

# expect_runs WHAT LINE...: the record holds exactly these lines; it is
# emptied for the next step.
expect_runs() {
  local what=$1
  shift
  local expected actual
  expected=$(printf '%s\n' "$@")
  [ $# -eq 0 ] && expected=""
  actual=""
  [ -f "$record" ] && actual=$(tr -d '\r' <"$record")
  if [ "$actual" != "$expected" ]; then
    check "$what ran other programs than expected"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | sed 's/^/    /' >&2 || true
  fi
  rm -f "$record"
}

menu_key='HKLM\Software\Classes\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu'
class_key='HKLM\Software\Classes\CLSID\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\InprocServer32'
has_key() { wine64_program reg query "$1" /reg:"$2" >/dev/null 2>&1; }
folder_holds() { ls "$folder" 2>/dev/null | LC_ALL=C sort | paste -sd ' '; }

install() {
  local program=$1 expected_status=$2 status=0
  wine64_program "$program" /S </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq "$expected_status" ] || check "$(basename "$program") exited with $status, not $expected_status"
}

# The uninstaller hands over to a copy of itself and returns at once: wait
# for the copy to finish.
uninstall() {
  local status=0
  wine64_program "$folder/uninstall.exe" /S </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq 0 ] || check "the uninstaller exited with $status"
  for _ in $(seq 1 60); do
    [ ! -e "$folder" ] && ! wine64_program reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel' \
      >/dev/null 2>&1 && break
    sleep 0.5
  done
  [ ! -e "$folder" ] || check "after the uninstall the folder holds $(folder_holds)"
  has_key "$class_key" 64 && check "after the uninstall the classic class is still registered"
  return 0
}

set_build() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  wine64_program reg add "$key" /v CurrentBuildNumber /t REG_SZ /d "$1" /f >/dev/null 2>&1 || check "reg add failed"
  wine64_program reg add "$key" /v CurrentBuild /t REG_SZ /d "$1" /f >/dev/null 2>&1 || check "reg add failed"
}

date +"%T"
echo "== 1. Windows 10: none of the package steps"
build=$(wine64_program reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber 2>/dev/null |
        tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ -n "$build" ] && [ "$build" -lt 22000 ] || check "the fresh prefix reports build \"$build\", not Windows 10"
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

if [ $failed -eq 0 ]; then echo "== the Windows 11 package steps run as expected, and only there"; fi
exit $failed
