; The product's setup program, built by installer/build_setup.cmake with
;   -DVERSION=a.b.c         the version of the host in the payload
;   -DPROGRAM_SOURCE=path   that host program
;   -DPAYLOAD_LIST=path     the generated list of every other installed file
;   -DOUTFILE=path          where the setup goes
;   -DWAIT_OPTION           (test builds only) accept /WAIT=<seconds>
;
; It runs in one of three ways, chosen by its command line:
;   (none) or /S [/D=folder]       install, record the folder in HKCU and
;                                  write an uninstaller;
;   /TAG=<old version>             update the recorded installation once the
;                                  running product has closed, then start it;
;   /S /PRODUCT_ALIAS="alias"      put the program into the suite's add-in
;                                  folder for the host that waits for us.
Unicode true
!include LogicLib.nsh
!include FileFunc.nsh

!define MAKER "Zentrovia"
!define TITLE "Zentrovia Handset Message + Contact Rescue"
!define PROGRAM "Lumarest.exe"
!define UNINSTALLER "Uninstall.exe"
!define SETTINGS_KEY "Software\${MAKER}\${TITLE}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${TITLE}"
; How long an update waits for the running product to close.
!define WAIT_SECONDS 60
; Opened only to see whether the mutex exists.
!define SYNCHRONIZE 0x00100000

Name "${TITLE}"
OutFile "${OUTFILE}"
; The suite form runs unelevated, started by a host that waits for it; the
; standalone update is started elevated by the host itself.
RequestExecutionLevel user
SetCompressor /SOLID lzma
InstallDir "$PROGRAMFILES\${MAKER}\${TITLE}"
; A reinstall goes where the last one went, unless /D= says otherwise.
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDir"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${TITLE}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "LegalCopyright" "Copyright ${MAKER}"
VIAddVersionKey "FileDescription" "${TITLE} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

Var Mode          ; "install", "update" or "suite"
Var OldVersion    ; the version that an update replaces (/TAG=)
Var ProgramName   ; the program's file name in $INSTDIR
Var WaitSeconds

Page directory SkipUnlessPlainInstall
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!include "${PAYLOAD_LIST}"

Function .onInit
  ${GetParameters} $R0
  StrCpy $Mode "install"
  StrCpy $ProgramName "${PROGRAM}"
  StrCpy $WaitSeconds ${WAIT_SECONDS}
!ifdef WAIT_OPTION
  ClearErrors
  ${GetOptions} $R0 "/WAIT=" $R1
  ${IfNot} ${Errors}
    IntOp $WaitSeconds $R1 + 0
  ${EndIf}
!endif
  ClearErrors
  ${GetOptions} $R0 "/PRODUCT_ALIAS=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 != ""
    StrCpy $Mode "suite"
    StrCpy $ProgramName "${TITLE}.exe"
    StrCpy $INSTDIR "$APPDATA\${MAKER}\$R1\Addins\${TITLE}\${VERSION}\Bin"
    Return
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/TAG=" $OldVersion
  ${IfNot} ${Errors}
    StrCpy $Mode "update"
    SetAutoClose true
    ReadRegStr $INSTDIR HKCU "${SETTINGS_KEY}" "InstallDir"
    ${If} $INSTDIR == ""
    ${OrIfNot} ${FileExists} "$INSTDIR\${PROGRAM}"
      MessageBox MB_OK|MB_ICONSTOP "${TITLE} is not installed for this user, so there is nothing to update." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Return
  ${EndIf}
FunctionEnd

Function SkipUnlessPlainInstall
  ${If} $Mode != "install"
    Abort
  ${EndIf}
FunctionEnd

; True (in $R9) while the product of version $OldVersion runs: its
; single-instance mutex exists, or its program file is still held open.
Function ProductRunning
  StrCpy $R9 1
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "Global_${TITLE}_$OldVersion") p .r9'
  ${If} $9 <> 0
    System::Call 'kernel32::CloseHandle(p r9)'
    Return
  ${EndIf}
  ClearErrors
  FileOpen $9 "$INSTDIR\${PROGRAM}" a
  ${If} ${Errors}
    Return
  ${EndIf}
  FileClose $9
  StrCpy $R9 0
FunctionEnd

Function WaitForProductToClose
  DetailPrint "Waiting for ${TITLE} $OldVersion to close..."
  IntOp $R8 $WaitSeconds * 2
  ${Do}
    Call ProductRunning
    ${If} $R9 == 0
      Return
    ${EndIf}
    ${If} $R8 <= 0
      ${Break}
    ${EndIf}
    Sleep 500
    IntOp $R8 $R8 - 1
  ${Loop}
  MessageBox MB_OK|MB_ICONSTOP "${TITLE} is still running, so it cannot be updated. Close it and run the update again." /SD IDOK
  SetErrorLevel 3
  Quit
FunctionEnd

; Installs one file of the payload. Files that the user may have changed
; are kept when present.
!macro InstallPayloadFile folder name source
  SetOutPath "$INSTDIR\${folder}"
  !if "${name}" == "UpdateFeed.json"
    ${IfNot} ${FileExists} "$OUTDIR\${name}"
      File "/oname=${name}" "${source}"
    ${EndIf}
  !else
    File "/oname=${name}" "${source}"
  !endif
!macroend

!macro RemovePayloadFile folder name source
  Delete "$INSTDIR\${folder}\${name}"
!macroend

; Only folders that hold nothing else any more: a user's files stay.
!macro RemovePayloadFolder folder
  RMDir "$INSTDIR\${folder}"
!macroend

Section "Program"
  ${If} $Mode == "update"
    Call WaitForProductToClose
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=$ProgramName" "${PROGRAM_SOURCE}"
  !insertmacro PAYLOAD_FILES InstallPayloadFile
  SetOutPath "$INSTDIR"
  ${If} $Mode == "suite"
    Return  ; the suite keeps its own records and starts the program itself
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${SETTINGS_KEY}" "Version" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} $Mode == "update"
    Call StartProduct
  ${EndIf}
SectionEnd

; The update runs elevated; the product should run as the user who started
; the update, not as the administrator. Explorer starts what it is given in
; the desktop user's own, unelevated context.
Function StartProduct
  DetailPrint "Starting ${TITLE}"
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${PROGRAM}"'
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\${PROGRAM}"
  !insertmacro PAYLOAD_FILES RemovePayloadFile
  !insertmacro PAYLOAD_FOLDERS RemovePayloadFolder
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
