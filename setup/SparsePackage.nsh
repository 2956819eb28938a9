; Windows 11's first-level context menu: the signed package that declares the
; Explorer command (QuorvelContextMenu.msix, with the installed folder as its
; external location), registered for all users as an elevated setup does:
;
;   1. any earlier registration is removed (a registered version cannot be
;      registered again, and a package of another publisher would add a second
;      command);
;   2. a package signed with the development certificate: that certificate
;      is trusted (certutil, the machine's TrustedPeople store);
;   3. the package is staged with the installed folder as its external
;      location and provisioned for every user (each gets it at sign-in);
;   4. then the classic handler's menu key is removed, so that "Show more
;      options", which lists packaged commands too, does not show the command
;      twice. The classic class stays registered, unused by the menu.
;
; Where a step fails, the package steps are taken back, the classic handler
; stays as it was, and the setup says so and ends with exit code 2.
; Windows before Windows 11 (build 22000) skips all of this, and so does
; 32-bit Windows (there is no 32-bit Windows 11).
;
; The package names quorvel.dll of the installed folder, which the COM
; surrogate of the package's processor architecture loads: on ARM64 Windows
; ($Arm64) the ARM64 package goes with the ARM64 DLL, elsewhere the x64
; package with the x64 DLL. Either is installed as QuorvelContextMenu.msix;
; both have one name, so removal is the same for both.
;
; Built with the package's build output (see package/):
;   -DPACKAGE=<QuorvelContextMenu-<version>.msix> (x64)
;   -DPACKAGE_ARM64=<QuorvelContextMenu-<version>-arm64.msix> -DPACKAGE_LOGO=<QuorvelLogo.png>
;   -DPACKAGE_SIGNING=<Signing.nsh>, which defines PACKAGE_DEV_CERT and
;   PACKAGE_DEV_CERT_THUMBPRINT where the packages carry a development
;   certificate.
;
; Just for me (PerUserInstall.nsh), on 64-bit Windows 11: the package is
; registered for the current user alone (Add-AppxPackage with the user's
; folder as its external location; no staging, no provisioning, no
; certificate store touched), which needs no administrator rights where
; Windows already trusts the package's signature: a release certificate from
; a trusted authority. Any earlier registration of the user's is removed
; first, and the classic menu key of the user's registration afterwards. A
; package signed with the development certificate, whose trust needs an
; administrator, is not registered: the classic handler stays, under "Show
; more options", and the details say so. The uninstaller removes the current
; user's registration alone.
;
; Hooks in QuorvelSetup.nsi: SparsePackage_Install after both DLLs are
; registered; SparsePackage_ReportFailure at the end of the install section;
; SparsePackage_Uninstall before the DLLs are unregistered; $SparsePackageFailed;
; $Arm64. In PerUserInstall.nsh: SparsePackage_InstallForCurrentUser and
; SparsePackage_UninstallForCurrentUser.
;
; -DTEST_DETAILS_VARIABLE=NAME is for test fixtures alone: the per-user steps'
; details lines are also appended to the file named by that environment
; variable (a silent run shows no details to read).

!include "${PACKAGE_SIGNING}"

!define SPARSE_PACKAGE_NAME "Quorvel.ContextMenu"
!define SPARSE_PACKAGE_FILE "QuorvelContextMenu.msix"
!define SPARSE_PACKAGE_LOGO "QuorvelLogo.png"
!define SPARSE_PACKAGE_CERT "QuorvelDevelopment.cer"
!define CLASSIC_MENU_KEY "Software\Classes\*\ShellEx\ContextMenuHandlers\QVLv1.0ContextMenu"
!define POWERSHELL '"$SYSDIR\WindowsPowerShell\v1.0\powershell.exe" -NoLogo -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command'

Var SparsePackageFailed  ; "yes" once a package step of the install failed

; The details of the per-user steps ($0: the failure).
LangString SparsePackageUserRegistering 1033 \
  "Windows 11: registering the command in the first-level context menu for the current user."
LangString SparsePackageUserKeepsClassicMenu 1033 \
  "Windows 11: the command stays under $\"Show more options$\". This setup's package is signed with a development certificate, which only an administrator can make Windows trust; install for everyone to have the command in the first-level context menu."
LangString SparsePackageUserFailed 1033 \
  "The Windows 11 menu entry could not be registered for the current user: $0."
LangString SparsePackageUserRemoveFailed 1033 \
  "The Windows 11 menu entry could not be removed for the current user: $0."

; A line of the details (see TEST_DETAILS_VARIABLE above).
!macro SparsePackage_Detail TEXT
  DetailPrint "${TEXT}"
  !ifdef TEST_DETAILS_VARIABLE
    Push $R7
    Push $R6
    ReadEnvStr $R7 "${TEST_DETAILS_VARIABLE}"
    ${If} $R7 != ""
      FileOpen $R6 $R7 a
      FileSeek $R6 0 END
      FileWrite $R6 "${TEXT}$\r$\n"
      FileClose $R6
    ${EndIf}
    Pop $R6
    Pop $R7
  !endif
!macroend

; Defines the function NAME for the installer and, as un.NAME, the uninstaller.
!macro SparsePackage_Functions PREFIX
  ; Pushes "yes" on 64-bit Windows 11 (build 22000 or later), else "no". The
  ; registry's build number, which compatibility settings do not change.
  Function ${PREFIX}SparsePackage_IsWindows11
    Push $0
    StrCpy $0 "no"
    ${If} ${RunningWindows64}
      SetRegView 64
      ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
      ${If} $0 == ""
        ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuild"
      ${EndIf}
      ${If} $0 != ""
      ${AndIf} $0 >= 22000
        StrCpy $0 "yes"
      ${Else}
        StrCpy $0 "no"
      ${EndIf}
    ${EndIf}
    Exch $0
  FunctionEnd

  ; Runs the command line on the stack, output into the details, with the
  ; 64-bit system folder (the 64-bit PowerShell; the Appx and DISM cmdlets
  ; refuse a 32-bit one). Pushes "ok" or the failure.
  Function ${PREFIX}SparsePackage_Run
    Exch $0
    Push $1
    DetailPrint "Running: $0"
    ${DisableX64FSRedirection}
    nsExec::ExecToLog $0
    Pop $1
    ${EnableX64FSRedirection}
    ${If} $1 == "0"
      StrCpy $0 "ok"
    ${Else}
      StrCpy $0 "failed ($1)"
    ${EndIf}
    Pop $1
    Exch $0
  FunctionEnd

  ; Removes the package for every user and from the provisioned packages
  ; (nothing to remove is no failure). Pushes "ok" or the failure.
  Function ${PREFIX}SparsePackage_RemovePackage
    Push `${POWERSHELL} "$$ErrorActionPreference = 'Stop'; Get-AppxProvisionedPackage -Online | Where-Object { $$_.DisplayName -eq '${SPARSE_PACKAGE_NAME}' } | ForEach-Object { Remove-AppxProvisionedPackage -Online -PackageName $$_.PackageName | Out-Null }; Get-AppxPackage -AllUsers -Name '${SPARSE_PACKAGE_NAME}' | ForEach-Object { Remove-AppxPackage -Package $$_.PackageFullName -AllUsers }"`
    Call ${PREFIX}SparsePackage_Run
  FunctionEnd

  ; Removes the current user's registration of the package alone (nothing
  ; to remove is no failure). Pushes "ok" or the failure. Just for me, with
  ; a package that a user can register (see the top of this file).
  !ifndef PACKAGE_DEV_CERT
    Function ${PREFIX}SparsePackage_RemoveForCurrentUser
      Push `${POWERSHELL} "$$ErrorActionPreference = 'Stop'; Get-AppxPackage -Name '${SPARSE_PACKAGE_NAME}' | ForEach-Object { Remove-AppxPackage -Package $$_.PackageFullName }"`
      Call ${PREFIX}SparsePackage_Run
    FunctionEnd
  !endif

  ; Removes the package and the development certificate's trust. Pushes "ok"
  ; or the first failure.
  Function ${PREFIX}SparsePackage_Remove
    Push $0
    Push $1
    StrCpy $1 "ok"
    Call ${PREFIX}SparsePackage_RemovePackage
    Pop $0
    ${If} $0 != "ok"
      StrCpy $1 "removing the package $0"
    ${EndIf}
    !ifdef PACKAGE_DEV_CERT_THUMBPRINT
      Push `"$SYSDIR\certutil.exe" -delstore TrustedPeople ${PACKAGE_DEV_CERT_THUMBPRINT}`
      Call ${PREFIX}SparsePackage_Run
      Pop $0
      ; A certificate no longer trusted (taken back after a failed install,
      ; or removed by an administrator) is no failure: certutil's exit code
      ; is then CRYPT_E_NOT_FOUND (0x80092004).
      ${If} $0 == "failed (-2146885628)"
        StrCpy $0 "ok"
      ${EndIf}
      ${If} $0 != "ok"
      ${AndIf} $1 == "ok"
        StrCpy $1 "removing the development certificate's trust $0"
      ${EndIf}
    !endif
    Exch
    Pop $0
    Exch $1
  FunctionEnd
!macroend
!insertmacro SparsePackage_Functions ""
!insertmacro SparsePackage_Functions "un."

; Pushes the text on the stack as a PowerShell string in single quotes
; (each ' doubled), for folders such as D:\O'Neil\Quorvel.
Function SparsePackage_Quote
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 ""
  StrCpy $3 0
  ${Do}
    StrCpy $2 $0 1 $3
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    StrCpy $1 "$1$2"
    ${If} $2 == "'"
      StrCpy $1 "$1'"
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $0 "'$1'"
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The package of the machine's architecture, its logo and (development
; certificate) the certificate into the installed folder. Pushes "ok" or the
; failure.
Function SparsePackage_WriteFiles
  Push $0
  StrCpy $0 "ok"
  SetOutPath "$INSTDIR"
  ClearErrors
  ${If} $Arm64 == "yes"
    File "/oname=${SPARSE_PACKAGE_FILE}" "${PACKAGE_ARM64}"
  ${Else}
    File "/oname=${SPARSE_PACKAGE_FILE}" "${PACKAGE}"
  ${EndIf}
  File "/oname=${SPARSE_PACKAGE_LOGO}" "${PACKAGE_LOGO}"
  !ifdef PACKAGE_DEV_CERT
    File "/oname=${SPARSE_PACKAGE_CERT}" "${PACKAGE_DEV_CERT}"
  !endif
  SetOutPath "$TEMP"
  ${If} ${Errors}
    StrCpy $0 "writing the package's files failed"
  ${EndIf}
  Exch $0
FunctionEnd

Function SparsePackage_Register
  Push $0
  Push $1
  Push $2
  Call SparsePackage_WriteFiles
  Pop $0
  ${If} $0 == "ok"
    Call SparsePackage_RemovePackage
    Pop $0
  ${EndIf}
  !ifdef PACKAGE_DEV_CERT
    ${If} $0 == "ok"
      Push `"$SYSDIR\certutil.exe" -f -addstore TrustedPeople "$INSTDIR\${SPARSE_PACKAGE_CERT}"`
      Call SparsePackage_Run
      Pop $0
    ${EndIf}
  !endif
  ${If} $0 == "ok"
    Push "$INSTDIR\${SPARSE_PACKAGE_FILE}"
    Call SparsePackage_Quote
    Pop $1
    Push "$INSTDIR"
    Call SparsePackage_Quote
    Pop $2
    Push `${POWERSHELL} "$$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $1 -ExternalLocation $2 -Stage; Add-AppxProvisionedPackage -Online -PackagePath $1 -SkipLicense | Out-Null"`
    Call SparsePackage_Run
    Pop $0
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

!macro SparsePackage_DeleteFiles
  Delete "$INSTDIR\${SPARSE_PACKAGE_FILE}"
  Delete "$INSTDIR\${SPARSE_PACKAGE_LOGO}"
  Delete "$INSTDIR\${SPARSE_PACKAGE_CERT}"
!macroend

!macro SparsePackage_Install
  StrCpy $SparsePackageFailed "no"
  Call SparsePackage_IsWindows11
  Pop $0
  ${If} $0 == "yes"
    DetailPrint "Windows 11: registering the command for the first-level context menu."
    Call SparsePackage_Register
    Pop $0
    ${If} $0 == "ok"
      ; The menu lists the packaged command; the classic entry would show it
      ; a second time under "Show more options". Both registry views: the
      ; key is shared on Windows, written by each DLL's registration.
      SetRegView 32
      DeleteRegKey HKLM "${CLASSIC_MENU_KEY}"
      SetRegView 64
      DeleteRegKey HKLM "${CLASSIC_MENU_KEY}"
    ${Else}
      StrCpy $SparsePackageFailed "yes"
      DetailPrint "The Windows 11 menu entry could not be registered: $0."
      Call SparsePackage_Remove
      Pop $0
      !insertmacro SparsePackage_DeleteFiles
    ${EndIf}
  ${EndIf}
!macroend

!macro SparsePackage_ReportFailure
  ${If} $SparsePackageFailed == "yes"
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "${PRODUCT} is installed, but its entry in Windows 11's first-level context menu could not be registered. The command is under $\"Show more options$\". The details list the step that failed." \
      /SD IDOK
    SetErrorLevel 2
  ${EndIf}
!macroend

; Sets $Failed when the package could not be removed.
!macro SparsePackage_Uninstall
  Call un.SparsePackage_IsWindows11
  Pop $0
  ${If} $0 == "yes"
    Call un.SparsePackage_Remove
    Pop $0
    ${If} $0 != "ok"
      StrCpy $Failed "yes"
      DetailPrint "The Windows 11 menu entry could not be removed: $0."
    ${EndIf}
  ${EndIf}
  !insertmacro SparsePackage_DeleteFiles
!macroend

; Just for me: the package registered for the current user alone, where its
; signature needs no administrator to be trusted (see the top of this file).
!ifndef PACKAGE_DEV_CERT
Function SparsePackage_RegisterForCurrentUser
  Push $0
  Push $1
  Push $2
  Call SparsePackage_WriteFiles
  Pop $0
  ${If} $0 == "ok"
    Call SparsePackage_RemoveForCurrentUser
    Pop $0
  ${EndIf}
  ${If} $0 == "ok"
    Push "$INSTDIR\${SPARSE_PACKAGE_FILE}"
    Call SparsePackage_Quote
    Pop $1
    Push "$INSTDIR"
    Call SparsePackage_Quote
    Pop $2
    Push `${POWERSHELL} "$$ErrorActionPreference = 'Stop'; Add-AppxPackage -Path $1 -ExternalLocation $2"`
    Call SparsePackage_Run
    Pop $0
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!endif

!macro SparsePackage_InstallForCurrentUser
  StrCpy $SparsePackageFailed "no"
  Call SparsePackage_IsWindows11
  Pop $0
  ${If} $0 == "yes"
    !ifdef PACKAGE_DEV_CERT
      !insertmacro SparsePackage_Detail "$(SparsePackageUserKeepsClassicMenu)"
    !else
      !insertmacro SparsePackage_Detail "$(SparsePackageUserRegistering)"
      Call SparsePackage_RegisterForCurrentUser
      Pop $0
      ${If} $0 == "ok"
        ; As for everyone: the command must not show twice under "Show more
        ; options". The user's own registration's key, in both views.
        SetRegView 32
        DeleteRegKey HKCU "${CLASSIC_MENU_KEY}"
        SetRegView 64
        DeleteRegKey HKCU "${CLASSIC_MENU_KEY}"
      ${Else}
        StrCpy $SparsePackageFailed "yes"
        !insertmacro SparsePackage_Detail "$(SparsePackageUserFailed)"
        Call SparsePackage_RemoveForCurrentUser
        Pop $0
        !insertmacro SparsePackage_DeleteFiles
      ${EndIf}
    !endif
  ${EndIf}
!macroend

; Sets $Failed when the user's registration could not be removed.
!macro SparsePackage_UninstallForCurrentUser
  !ifndef PACKAGE_DEV_CERT
    Call un.SparsePackage_IsWindows11
    Pop $0
    ${If} $0 == "yes"
      Call un.SparsePackage_RemoveForCurrentUser
      Pop $0
      ${If} $0 != "ok"
        StrCpy $Failed "yes"
        !insertmacro SparsePackage_Detail "$(SparsePackageUserRemoveFailed)"
      ${EndIf}
    ${EndIf}
  !endif
  !insertmacro SparsePackage_DeleteFiles
!macroend
