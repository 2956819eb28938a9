; The setup program: installs quorvel.dll (64-bit Windows only: the x64
; build, or on ARM64 Windows the ARM64 build) and quorvel32.dll into one
; folder, registers each through its own DllRegisterServer in its own registry
; view, and lists the product among the installed programs with an
; uninstaller. Built by the build:
;
;   makensis -DVERSION=1.0.0.0 -DDLL64=<quorvel.dll> -DDLLARM64=<ARM64 quorvel.dll>
;            -DDLL32=<quorvel32.dll> -DSATELLITES_NSH=<Satellites.nsh>
;            -DSATELLITES64=<folder of quorvel<ABBR>.dll> -DSATELLITES32=<folder of quorvel32<ABBR>.dll>
;            -DOUTFILE=<QuorvelSetup-1.0.0.0.exe>
;            -DSIGN_PYTHON=<python3> -DSIGN_PE=<signing/sign_pe.py> -DSIGNING_FOLDER=<folder>
;            QuorvelSetup.nsi
;
; Beside each DLL go its satellite resource libraries, one per language
; (Satellites.nsh names them; docs/translating.md).
;
; -DTARGET_AMD64 builds the same program as a 64-bit one that carries the
; 64-bit DLLs alone (for Wine installations that run no 32-bit programs).
; -DTEST_NATIVE_MACHINE_VARIABLE=NAME is for test fixtures alone (DetectArm64).
;
; Command line: /S silent; /D=FOLDER the folder of a first installation;
; /AllUsers for everyone (administrators), /CurrentUser just for the user
; running it (no administrator rights; see PerUserInstall.nsh).
; Exit codes: 0 done, 3010 done but a file in use is replaced at the next
; restart, 1 cancelled, 2 failed (a file could not be written or a DLL
; refused registration; a first installation is then taken back).

Unicode true
!ifdef TARGET_AMD64
  Target amd64-unicode
!endif

; Signed by the build's one signing step (signing/sign_pe.py), with the
; certificate of every shipped file: the program once written, and the
; uninstaller as makensis builds it, before it is stored in the program, so
; that the uninstall.exe that WriteUninstaller writes carries the signature
; too. A failed signing fails the build and leaves no program.
!ifndef SIGN_PE
  !error "The setup program is signed: define SIGN_PYTHON, SIGN_PE and SIGNING_FOLDER (setup/CMakeLists.txt)"
!endif
!finalize '"${SIGN_PYTHON}" "${SIGN_PE}" --development-folder "${SIGNING_FOLDER}" "%1"' = 0
!uninstfinalize '"${SIGN_PYTHON}" "${SIGN_PE}" --development-folder "${SIGNING_FOLDER}" "%1"' = 0

!include LogicLib.nsh
!include x64.nsh
!include Library.nsh
!include Integration.nsh
!include FileFunc.nsh

; 64-bit Windows, x64 or ARM64 (x64.nsh's RunningX64 is true on both): always,
; for the 64-bit program, written as a comparison at run time all the same so
; that LogicLib leaves no label unused.
!ifdef TARGET_AMD64
  !define RunningWindows64 `"" == ""`
!else
  !define RunningWindows64 `${RunningX64}`
!endif

!define PRODUCT "Quorvel"
!define PUBLISHER "Quorvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define UNINSTALLER "uninstall.exe"
; A DLL of the same version is written again too: running the setup over an
; installation repairs it. (An installed DLL of a newer version is kept.)
!define LIBRARY_INSTALL_EQUAL_VERSION

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Administrators are asked for elevation (for everyone); other users run it
; as they are and install just for themselves.
RequestExecutionLevel highest
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Quorvel. All rights reserved."

Page directory SkipDirectoryOnUpgrade
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Upgrade        ; "yes" when an earlier installation is being replaced
Var Failed         ; "yes" once a step has failed
Var PerUser        ; "yes" for the installation of the current user alone
Var Arm64          ; "yes" on ARM64 Windows (DetectArm64)

; Windows 11's first-level context menu (the signed package).
!include "${__FILEDIR__}\SparsePackage.nsh"

; The uninstall entry and the program files live in the machine's own
; bitness: the 64-bit registry view and Program Files on 64-bit Windows.
!macro UseNativeView
  !ifndef TARGET_AMD64
    ${If} ${RunningX64}
      SetRegView 64
    ${EndIf}
  !endif
!macroend

; A DLL that replaces one in use is registered once Windows restarts, by
; NSIS's RegTool from RunOnce. The RegTool is a program of this setup's own
; bitness and reads its list in that program's registry view, so the list
; and its RunOnce entry are written there while the DLLs are installed: in the
; 32-bit program, the 32-bit view (whose RunOnce entries Windows runs too).
; Written in the native view, the list was never read, and the replaced DLL
; never registered again.
!macro UseRegToolView
  !ifndef TARGET_AMD64
    SetRegView 32
  !endif
!macroend

; ARM64 Windows runs a native ARM64 Explorer and COM surrogate, which load
; ARM64 DLLs alone: there the ARM64 build takes the x64 build's place as
; quorvel.dll, and the package naming it the x64 package's. The platform says
; which machine it is (IsWow64Process2's native machine, through x64.nsh), to
; this 32-bit program and to the 64-bit one alike. Wine reports its own machine
; alone: a test fixture built with TEST_NATIVE_MACHINE_VARIABLE=NAME takes the
; machine from that environment variable where it is set.
!define IMAGE_FILE_MACHINE_ARM64 0xAA64
Function DetectArm64
  ${GetNativeMachineArchitecture} $0
  !ifdef TEST_NATIVE_MACHINE_VARIABLE
    ReadEnvStr $1 "${TEST_NATIVE_MACHINE_VARIABLE}"
    ${If} $1 != ""
      StrCpy $0 $1
    ${EndIf}
  !endif
  ${If} $0 = ${IMAGE_FILE_MACHINE_ARM64}
    StrCpy $Arm64 "yes"
  ${Else}
    StrCpy $Arm64 "no"
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro UseNativeView
  Call DetectArm64
  StrCpy $Upgrade "no"
  StrCpy $Failed "no"
  Call ChooseInstallMode
  ${If} $PerUser == "yes"
    Call InitForCurrentUser
    Return
  ${EndIf}
  SetShellVarContext all
  !ifndef TARGET_AMD64
    ${IfNot} ${RunningX64}
      StrCpy $0 "$PROGRAMFILES\${PRODUCT}"
    ${Else}
      StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  !else
    StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
  !endif
  StrCpy $Upgrade "no"
  StrCpy $Failed "no"
  ; Over an earlier installation: upgrade or repair it where it is.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\${UNINSTALLER}"
    StrCpy $Upgrade "yes"
    StrCpy $INSTDIR $1
  ${ElseIf} $INSTDIR == ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpgrade
  ${If} $Upgrade == "yes"
    Abort
  ${EndIf}
FunctionEnd

; Into $0: the size in KB that the entry among the installed programs gives,
; the DLLs the folder now holds (the section's own size counts both 64-bit
; builds the setup carries). Before ClearErrors: GetSize clears the error flag.
!macro InstalledDllsSize
  ${GetSize} "$INSTDIR" "/M=*.dll /S=0K /G=0" $0 $1 $2
!macroend

; After InstallLib: the DLL was copied and registered, or is replaced and
; registered at the next restart because it is in use (the reboot flag). Any
; other error is a failure.
!macro CheckInstalled FILE
  ${If} ${Errors}
  ${AndIfNot} ${RebootFlag}
    StrCpy $Failed "yes"
    DetailPrint "Could not install or register ${FILE}."
  ${EndIf}
!macroend

!include "${SATELLITES_NSH}"

; The satellite resource libraries beside each DLL: the command's texts,
; bitmap and icon in one language each, of which the DLL takes the one of the
; user's language when it is loaded. quorvel<ABBR>.dll serves quorvel.dll of
; either 64-bit build: a satellite holds resources only and is mapped as
; data. Written like the DLLs (in use: replaced at the next restart), never
; registered.
!macro InstallNativeSatellite ABBR
  ${If} $Failed == "no"
    ClearErrors
    !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SATELLITES64}\quorvel${ABBR}.dll" \
      "$INSTDIR\quorvel${ABBR}.dll" "$INSTDIR"
    !insertmacro CheckInstalled "quorvel${ABBR}.dll"
  ${EndIf}
!macroend

!macro Install32Satellite ABBR
  ${If} $Failed == "no"
    ClearErrors
    !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SATELLITES32}\quorvel32${ABBR}.dll" \
      "$INSTDIR\quorvel32${ABBR}.dll" "$INSTDIR"
    !insertmacro CheckInstalled "quorvel32${ABBR}.dll"
  ${EndIf}
!macroend

; Both satellites of a language, now or (in use) at the next restart.
!macro RemoveSatellites ABBR
  Delete /REBOOTOK "$INSTDIR\quorvel${ABBR}.dll"
  Delete /REBOOTOK "$INSTDIR\quorvel32${ABBR}.dll"
!macroend

; quorvel.dll for the machine's own programs (REGDLL, or DLL where the caller
; registers it): the ARM64 build on ARM64 Windows, else the x64 one. Written
; with file-system redirection off and registered by the native regsvr32
; (System32's), which calls its DllRegisterServer in the native registry view:
; this program loads neither build itself when 32-bit, nor the ARM64 one when
; x64.
!macro InstallNativeDll LIBTYPE
  ClearErrors
  !define LIBRARY_X64
  ${If} $Arm64 == "yes"
    !insertmacro InstallLib ${LIBTYPE} NOTSHARED REBOOT_NOTPROTECTED "${DLLARM64}" "$INSTDIR\quorvel.dll" "$INSTDIR"
  ${Else}
    !insertmacro InstallLib ${LIBTYPE} NOTSHARED REBOOT_NOTPROTECTED "${DLL64}" "$INSTDIR\quorvel.dll" "$INSTDIR"
  ${EndIf}
  !undef LIBRARY_X64
  !insertmacro CheckInstalled "quorvel.dll"
!macroend

; Unregistered by the native regsvr32, which calls its DllUnregisterServer,
; whichever build it is.
!macro UnInstallNativeDll UNINSTALL
  !define LIBRARY_X64
  !insertmacro UnInstallLib REGDLL NOTSHARED ${UNINSTALL} "$INSTDIR\quorvel.dll"
  !undef LIBRARY_X64
!macroend

Function TakeBackFirstInstallation
  ; Only a first installation is taken back: an upgrade keeps what the
  ; earlier one had, repaired as far as it got.
  ${If} $Upgrade == "no"
    !ifndef TARGET_AMD64
      !insertmacro UnInstallLib REGDLL NOTSHARED NOREBOOT_NOTPROTECTED "$INSTDIR\quorvel32.dll"
    !endif
    ${If} ${RunningWindows64}
      !insertmacro UnInstallNativeDll NOREBOOT_NOTPROTECTED
    ${EndIf}
    !insertmacro ForEachSatellite RemoveSatellites
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

!include "${__FILEDIR__}/PerUserInstall.nsh"

Section "Quorvel"
  ${If} $PerUser == "yes"
    Call InstallForCurrentUser
    Return
  ${EndIf}
  ; Every file is written by its full path. The working folder stays outside
  ; the installation: programs started meanwhile (Wine's services, say)
  ; inherit it and would keep the folder from being removed.
  CreateDirectory "$INSTDIR"
  SetOutPath "$TEMP"
  !insertmacro UseRegToolView
  ${If} ${RunningWindows64}
    !insertmacro InstallNativeDll REGDLL
    !insertmacro ForEachSatellite InstallNativeSatellite
  ${EndIf}
  !ifndef TARGET_AMD64
    ; The 32-bit DLL, registered in this (32-bit) process through its own
    ; DllRegisterServer: its entries go to the 32-bit view.
    ${If} $Failed == "no"
      ClearErrors
      !insertmacro InstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DLL32}" "$INSTDIR\quorvel32.dll" "$INSTDIR"
      !insertmacro CheckInstalled "quorvel32.dll"
    ${EndIf}
    !insertmacro ForEachSatellite Install32Satellite
  !endif
  !insertmacro UseNativeView

  ${If} $Failed == "no"
    !insertmacro InstalledDllsSize
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} ${Errors}
      StrCpy $Failed "yes"
      DetailPrint "Could not write the uninstaller or its entry among the installed programs."
    ${EndIf}
  ${EndIf}

  ${If} $Failed == "no"
    !insertmacro SparsePackage_Install
  ${EndIf}

  ; The shell rereads its handlers. (Not through Library.nsh's own notice:
  ; its plugin call after each registration would hide a failure.)
  ${NotifyShell_AssocChanged}

  ${If} $Failed == "yes"
    Call TakeBackFirstInstallation
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not be installed. The details list the step that failed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  !insertmacro SparsePackage_ReportFailure
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
  ${AndIf} $SparsePackageFailed != "yes"
    SetErrorLevel 3010
    MessageBox MB_YESNO|MB_ICONINFORMATION \
      "${PRODUCT} is in use (Explorer keeps it loaded). The new version takes its place when Windows restarts.$\n$\nRestart now?" \
      /SD IDNO IDNO done
    Reboot
    done:
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro UseNativeView
  StrCpy $Failed "no"
  Call un.IsUserInstallation
FunctionEnd

; After UnInstallLib: a DLL that refused removal from the registry is
; reported; the files go either way.
!macro CheckRemoved FILE
  ${If} ${Errors}
    StrCpy $Failed "yes"
    DetailPrint "${FILE} could not be unregistered."
  ${EndIf}
!macroend

Section "Uninstall"
  ${If} $PerUser == "yes"
    Call un.UninstallForCurrentUser
    Return
  ${EndIf}
  !insertmacro SparsePackage_Uninstall
  ${If} ${FileExists} "$INSTDIR\quorvel32.dll"
    ClearErrors
    !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "$INSTDIR\quorvel32.dll"
    !insertmacro CheckRemoved "quorvel32.dll"
  ${EndIf}
  ${If} ${RunningWindows64}
  ${AndIf} ${FileExists} "$INSTDIR\quorvel.dll"
    ClearErrors
    !insertmacro UnInstallNativeDll REBOOT_NOTPROTECTED
    !insertmacro CheckRemoved "quorvel.dll"
  ${EndIf}
  !insertmacro ForEachSatellite RemoveSatellites
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${NotifyShell_AssocChanged}

  ${If} $Failed == "yes"
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "${PRODUCT} was removed, but not every part of it could be unregistered. The details list which." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
SectionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
  ${AndIf} $Failed == "no"
    SetErrorLevel 3010
    MessageBox MB_YESNO|MB_ICONINFORMATION \
      "${PRODUCT} is in use (Explorer keeps it loaded). Its files are removed when Windows restarts.$\n$\nRestart now?" \
      /SD IDNO IDNO done
    Reboot
    done:
  ${EndIf}
FunctionEnd
