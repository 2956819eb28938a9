# shellcheck shell=bash disable=SC2034,SC2154 # variables set here for, or by, the sourcing script
# Sourced, after setup-test.sh, by the setup tests that run the setup program
# in a fresh Wine prefix of their own, with recording stand-ins
# (RecordingStandIn.cpp) in place of programs of the platform that it runs:
# each appends its name and arguments to a record and succeeds, or fails where
# asked (QUORVEL_STAND_IN_FAIL). The sourcing script sets stand_in and
# dev_cert too, then calls start_stand_in_prefix.

# start_stand_in_prefix [--with-32-bit] PROGRAM...: a fresh prefix in $work
# (with its 32-bit half where asked; its session stopped at exit), each
# PROGRAM (a path under system32, such as certutil.exe) replaced by the
# stand-in; then the record, the folders (the user's too: locate_user_folder)
# and the commands of the Windows 11 package steps as the setup runs them, for
# everyone and ($remove_user, $add_user) just for me.
start_stand_in_prefix() {
  local options=() program overrides="" system32
  if [ "${1:-}" = --with-32-bit ]; then
    options=(--with-32-bit)
    shift
  fi
  start_session "${options[@]}"
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

  local thumbprint msix_w user_msix_w
  thumbprint=$(openssl x509 -inform DER -in "$dev_cert" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
  powershell='powershell.exe|-NoLogo -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command'
  remove="$powershell \"\$ErrorActionPreference = 'Stop'; Get-AppxProvisionedPackage -Online | Where-Object { \$_.DisplayName -eq 'Quorvel.ContextMenu' } | ForEach-Object { Remove-AppxProvisionedPackage -Online -PackageName \$_.PackageName | Out-Null }; Get-AppxPackage -AllUsers -Name 'Quorvel.ContextMenu' | ForEach-Object { Remove-AppxPackage -Package \$_.PackageFullName -AllUsers }\""
  msix_w="'$folder_w\\QuorvelContextMenu.msix'"
  add="$powershell \"\$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $msix_w -ExternalLocation '$folder_w' -Stage; Add-AppxProvisionedPackage -Online -PackagePath $msix_w -SkipLicense | Out-Null\""
  trust="certutil.exe|-f -addstore TrustedPeople \"$folder_w\\QuorvelDevelopment.cer\""
  distrust="certutil.exe|-delstore TrustedPeople $thumbprint"
  # Just for me: the current user's registration alone.
  locate_user_folder
  user_msix_w="'$user_w\\QuorvelContextMenu.msix'"
  remove_user="$powershell \"\$ErrorActionPreference = 'Stop'; Get-AppxPackage -Name 'Quorvel.ContextMenu' | ForEach-Object { Remove-AppxPackage -Package \$_.PackageFullName }\""
  add_user="$powershell \"\$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $user_msix_w -ExternalLocation '$user_w'\""
  windows10_build=$(wine64_program reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber \
                    2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
}

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

# install PROGRAM STATUS [OPTION...]: PROGRAM /S OPTION... exits with STATUS.
install() {
  local program=$1 expected_status=$2 status
  shift 2
  status=$(exit_status "$program" /S "$@")
  [ "$status" -eq "$expected_status" ] || check "$(basename "$program") $* exited with $status, not $expected_status"
}

# uninstall [FOLDER ENTRY]: the installation's uninstaller (for everyone by
# default), waited for.
# shellcheck disable=SC2120 # the installation for everyone by default
uninstall() {
  local dir=${1:-$folder} entry=${2:-$machine_entry} status
  status=$(exit_status "$dir/uninstall.exe" /S)
  [ "$status" -eq 0 ] || check "the uninstaller exited with $status"
  wait_removed "$dir" "$entry"
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
