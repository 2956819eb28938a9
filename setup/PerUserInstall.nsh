; The "just for me" installation: no administrator rights, the files under
; %LOCALAPPDATA%\Programs\Quorvel, each DLL registered for the current user
; alone through its DllInstall ("regsvr32 /s /n /i:user"), the entry among
; the installed programs under the user's Uninstall key. Included by
; QuorvelSetup.nsi, whose CheckInstalled, InstallNativeDll and
; InstalledDllsSize macros, UNINSTALL_KEY, UNINSTALLER, $Failed, $Upgrade and
; $PerUser it shares.
;
; The mode: /CurrentUser or /AllUsers on the command line; otherwise an
; administrator is asked (silently: for everyone) and anybody else installs
; just for themselves. An uninstaller removes only what its own installation
; made: it is the per-user one when the user's entry names its folder.

!include FileFunc.nsh

Function ChooseInstallMode
  UserInfo::GetAccountType
  Pop $R2
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $PerUser "yes"
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $PerUser "no"
    ${If} $R2 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Installing ${PRODUCT} for everyone needs administrator rights." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Return
  ${EndIf}
  ${If} $R2 != "Admin"
    StrCpy $PerUser "yes"
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION \
      "Install ${PRODUCT} for everyone who uses this computer?$\n$\nYes: for everyone (in Program Files).$\nNo: just for me (in my own folder, no administrator rights needed)." \
      /SD IDYES IDYES everyone
    StrCpy $PerUser "yes"
    Return
    everyone:
    StrCpy $PerUser "no"
  ${EndIf}
FunctionEnd

; .onInit for the per-user mode: the user's folder, or the one an earlier
; per-user installation has.
Function InitForCurrentUser
  SetShellVarContext current
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\${UNINSTALLER}"
    StrCpy $Upgrade "yes"
    StrCpy $INSTDIR $1
  ${ElseIf} $INSTDIR == ""
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
  ${EndIf}
FunctionEnd

; regsvr32 /s /n /i:user (or /u /n /i:user) with the regsvr32 of the DLL's
; bitness; a failure is noted in $Failed.
!macro RunUserRegsvr32 REGSVR32 ARGUMENTS FILE WHAT
  ClearErrors
  ExecWait '"${REGSVR32}" /s ${ARGUMENTS} /n /i:user "${FILE}"' $R9
  ${If} ${Errors}
  ${OrIf} $R9 != 0
    StrCpy $Failed "yes"
    DetailPrint "Could not ${WHAT} ${FILE} for the current user (regsvr32: $R9)."
  ${EndIf}
!macroend

; The native regsvr32 (x64, or ARM64 on ARM64 Windows), for quorvel.dll of
; either build: from this 32-bit program only with the file system's
; redirection off.
!macro UserRegsvr32Native ARGUMENTS FILE WHAT
  !ifndef TARGET_AMD64
    ${DisableX64FSRedirection}
    !insertmacro RunUserRegsvr32 "$WINDIR\System32\regsvr32.exe" "${ARGUMENTS}" "${FILE}" "${WHAT}"
    ${EnableX64FSRedirection}
  !else
    !insertmacro RunUserRegsvr32 "$SYSDIR\regsvr32.exe" "${ARGUMENTS}" "${FILE}" "${WHAT}"
  !endif
!macroend

Function TakeBackUserInstallation
  ${If} $Upgrade == "no"
    StrCpy $R8 $Failed
    ${If} ${FileExists} "$INSTDIR\quorvel.dll"
      !insertmacro UserRegsvr32Native "/u" "$INSTDIR\quorvel.dll" "unregister"
    ${EndIf}
    !ifndef TARGET_AMD64
      ${If} ${FileExists} "$INSTDIR\quorvel32.dll"
        !insertmacro RunUserRegsvr32 "$SYSDIR\regsvr32.exe" "/u" "$INSTDIR\quorvel32.dll" "unregister"
      ${EndIf}
    !endif
    StrCpy $Failed $R8
    Delete /REBOOTOK "$INSTDIR\quorvel.dll"
    Delete /REBOOTOK "$INSTDIR\quorvel32.dll"
    !insertmacro ForEachSatellite RemoveSatellites
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Function InstallForCurrentUser
  CreateDirectory "$INSTDIR"
  SetOutPath "$TEMP"
  ${If} ${RunningWindows64}
    !insertmacro InstallNativeDll DLL
    ${If} $Failed == "no"
      !insertmacro UserRegsvr32Native "" "$INSTDIR\quorvel.dll" "register"
    ${EndIf}
    !insertmacro ForEachSatellite InstallNativeSatellite
  ${EndIf}
  !ifndef TARGET_AMD64
    ${If} $Failed == "no"
      ClearErrors
      !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${DLL32}" "$INSTDIR\quorvel32.dll" "$INSTDIR"
      !insertmacro CheckInstalled "quorvel32.dll"
    ${EndIf}
    ${If} $Failed == "no"
      !insertmacro RunUserRegsvr32 "$SYSDIR\regsvr32.exe" "" "$INSTDIR\quorvel32.dll" "register"
    ${EndIf}
    !insertmacro ForEachSatellite Install32Satellite
  !endif

  ${If} $Failed == "no"
    !insertmacro InstalledDllsSize
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} ${Errors}
      StrCpy $Failed "yes"
      DetailPrint "Could not write the uninstaller or its entry among the installed programs."
    ${EndIf}
  ${EndIf}
  ${If} $Failed == "no"
    !insertmacro SparsePackage_InstallForCurrentUser
  ${EndIf}
  ${NotifyShell_AssocChanged}

  ${If} $Failed == "yes"
    Call TakeBackUserInstallation
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not be installed. The details list the step that failed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  !insertmacro SparsePackage_ReportFailure
FunctionEnd

; un.onInit: is this uninstaller the current user's installation?
Function un.IsUserInstallation
  StrCpy $PerUser "no"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $PerUser "yes"
    SetShellVarContext current
  ${EndIf}
FunctionEnd


Function un.UninstallForCurrentUser
  !insertmacro SparsePackage_UninstallForCurrentUser
  ${If} ${FileExists} "$INSTDIR\quorvel32.dll"
    !ifndef TARGET_AMD64
      !insertmacro RunUserRegsvr32 "$SYSDIR\regsvr32.exe" "/u" "$INSTDIR\quorvel32.dll" "unregister"
    !endif
    Delete /REBOOTOK "$INSTDIR\quorvel32.dll"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\quorvel.dll"
    !insertmacro UserRegsvr32Native "/u" "$INSTDIR\quorvel.dll" "unregister"
    Delete /REBOOTOK "$INSTDIR\quorvel.dll"
  ${EndIf}
  !insertmacro ForEachSatellite RemoveSatellites
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${NotifyShell_AssocChanged}
  ${If} $Failed == "yes"
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "${PRODUCT} was removed, but not every part of it could be unregistered. The details list which." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
FunctionEnd
