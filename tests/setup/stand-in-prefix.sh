# Sourced by the setup tests that run the setup program in a fresh Wine prefix
# of their own, with recording stand-ins (RecordingStandIn.cpp) in place of
# programs of the platform that it runs: each appends its name and arguments
# to a record and succeeds, or fails where asked (QUORVEL_STAND_IN_FAIL).
# The sourcing script sets source_dir, work, stand_in and dev_cert, then calls
# start_stand_in_prefix; it ends with `exit $failed`.
# shellcheck source=scripts/wine-programs.sh
. "$source_dir/scripts/wine-programs.sh"

failed=0
check() {
  echo "FAILED: $*" >&2
  failed=1
}

folder_w='C:\Program Files\Quorvel'
machine_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
menu_key='HKLM\Software\Classes\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu'
class_key='HKLM\Software\Classes\CLSID\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}\InprocServer32'

# start_stand_in_prefix [--with-32-bit] PROGRAM...: a fresh prefix in $work
# (with its 32-bit half where asked; its session stopped at exit), each
# PROGRAM (a path under system32, such as certutil.exe) replaced by the
# stand-in; then the record, the folders and the commands of the Windows 11
# package steps as the setup runs them.
start_stand_in_prefix() {
  local options=() program overrides=""
  if [ "${1:-}" = --with-32-bit ]; then
    options=(--with-32-bit)
    shift
  fi
  if [ -d "$work" ]; then session stop; fi
  rm -rf "$work"
  mkdir -p "$work"
  trap 'session stop' EXIT
  session start "${options[@]}"
  export $(session env | xargs)
  drive_c="$WINEPREFIX/drive_c"
  folder="$drive_c/Program Files/Quorvel"
  system32="$drive_c/windows/system32"
  for program in "$@"; do
    mkdir -p "$(dirname "$system32/$program")"
    cp "$stand_in" "$system32/$program"
    overrides+="${overrides:+,}$(basename "$program")"
  done
  # Wine has programs of these names of its own: the stand-ins are to run.
  export WINEDLLOVERRIDES="mscoree,mshtml=;$overrides=n"

  record="$work/runs.txt"
  export QUORVEL_STAND_IN_RECORD
  QUORVEL_STAND_IN_RECORD=$(wine64_program winepath -w "$record")
  export QUORVEL_STAND_IN_FAIL="" QUORVEL_STAND_IN_EXIT=""

  local thumbprint powershell msix_w
  thumbprint=$(openssl x509 -inform DER -in "$dev_cert" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
  powershell='powershell.exe|-NoLogo -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command'
  remove="$powershell \"\$ErrorActionPreference = 'Stop'; Get-AppxProvisionedPackage -Online | Where-Object { \$_.DisplayName -eq 'Quorvel.ContextMenu' } | ForEach-Object { Remove-AppxProvisionedPackage -Online -PackageName \$_.PackageName | Out-Null }; Get-AppxPackage -AllUsers -Name 'Quorvel.ContextMenu' | ForEach-Object { Remove-AppxPackage -Package \$_.PackageFullName -AllUsers }\""
  msix_w="'$folder_w\\QuorvelContextMenu.msix'"
  add="$powershell \"\$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $msix_w -ExternalLocation '$folder_w' -Stage; Add-AppxProvisionedPackage -Online -PackagePath $msix_w -SkipLicense | Out-Null\""
  trust="certutil.exe|-f -addstore TrustedPeople \"$folder_w\\QuorvelDevelopment.cer\""
  distrust="certutil.exe|-delstore TrustedPeople $thumbprint"
  windows10_build=$(wine64_program reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber \
                    2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
}

session() { "$source_dir/scripts/wine-session.sh" "$1" "$work" "${@:2}"; }

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

has_key() { wine64_program reg query "$1" /reg:"$2" >/dev/null 2>&1; }
folder_holds() { ls "${1:-$folder}" 2>/dev/null | LC_ALL=C sort | paste -sd ' '; }

# install PROGRAM STATUS [OPTION...]: PROGRAM /S OPTION... exits with STATUS.
install() {
  local program=$1 expected_status=$2 status=0
  shift 2
  wine64_program "$program" /S "$@" </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq "$expected_status" ] || check "$(basename "$program") $* exited with $status, not $expected_status"
}

# uninstall [FOLDER ENTRY]: the installation's uninstaller (for everyone by
# default). It hands over to a copy of itself and returns at once: wait for
# the copy to finish.
uninstall() {
  local dir=${1:-$folder} entry=${2:-$machine_entry} status=0
  wine64_program "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq 0 ] || check "the uninstaller exited with $status"
  for _ in $(seq 1 60); do
    [ ! -e "$dir" ] && ! wine64_program reg query "$entry" >/dev/null 2>&1 && break
    sleep 0.5
  done
  [ ! -e "$dir" ] || check "after the uninstall the folder holds $(folder_holds "$dir")"
  has_key "$class_key" 64 && check "after the uninstall the classic class is still registered"
  return 0
}

# set_build NUMBER: the Windows build the registry reports.
set_build() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  wine64_program reg add "$key" /v CurrentBuildNumber /t REG_SZ /d "$1" /f >/dev/null 2>&1 || check "reg add failed"
  wine64_program reg add "$key" /v CurrentBuild /t REG_SZ /d "$1" /f >/dev/null 2>&1 || check "reg add failed"
}
