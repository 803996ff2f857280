; The product's setup program, built by installer/build_setup.cmake with
;   -DVERSION=a.b.c         the version of the host in the payload
;   -DPROGRAM_SOURCE=path   that host program
;   -DPAYLOAD_LIST=path     the generated list of every other installed file
;   -DLANGUAGE_HELPER=path  SetupLanguage.exe, which tells the product's language
;   -DOUTFILE=path          where the setup goes
;   -DWAIT_OPTION           (test builds only) accept /WAIT=<seconds>
;
; It installs for the user who runs it, never for the machine: below the
; user's local application data, with its records in HKCU and its shortcuts
; in the user's Start menu, so that a standard user needs no elevation to
; install, update or remove it. It runs in one of three ways, chosen by its
; command line:
;   (none) or /S [/D=folder] [/DESKTOPSHORTCUT]
;                                  install, record the folder in HKCU, add the
;                                  Start-menu shortcut (and, when asked, the
;                                  desktop one) and write an uninstaller;
;   /TAG=<old version>             update the recorded installation once the
;                                  running product has closed, then start it;
;   /S /PRODUCT_ALIAS="alias"      put the program into the suite's add-in
;                                  folder for the host that waits for us.
; The uninstaller takes /S and /REMOVEUSERDATA (also remove the user's
; settings and logs).
; Exit codes: 0 done, 2 nothing installed to update, 3 the product did not
; close, 4 the alias is not a plain folder name, 5 the folder cannot be
; written.
Unicode true
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include MUI2.nsh

!define MAKER "Zentrovia"
!define TITLE "Zentrovia Handset Message + Contact Rescue"
!define PROGRAM "Lumarest.exe"
!define UNINSTALLER "Uninstall.exe"
!define SETTINGS_KEY "Software\${MAKER}\${TITLE}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${TITLE}"
!define START_MENU_SHORTCUT "$SMPROGRAMS\${TITLE}.lnk"
!define DESKTOP_SHORTCUT "$DESKTOP\${TITLE}.lnk"
; How long an update waits for the running product to close.
!define WAIT_SECONDS 60
; Opened only to see whether the mutex exists.
!define SYNCHRONIZE 0x00100000
; The longest suite alias taken: the add-in's deepest file then stays below
; MAX_PATH (260) with room for a long user-profile path.
!define MAX_ALIAS 64
!define EXIT_NOT_INSTALLED 2
!define EXIT_STILL_RUNNING 3
!define EXIT_BAD_ALIAS 4
!define EXIT_FOLDER_NOT_WRITABLE 5

Name "${TITLE}"
OutFile "${OUTFILE}"
; Every form writes only to the user's own folders and HKCU: the plain
; install and the standalone update below local application data, the suite
; form below the roaming one. The manifest's "asInvoker" also keeps Windows
; from guessing, by the file name, that a setup wants elevation.
RequestExecutionLevel user
SetCompressor /SOLID lzma
InstallDir "$LOCALAPPDATA\Programs\${MAKER}\${TITLE}"
; A reinstall goes where the last one went, unless /D= says otherwise.
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDir"
ShowInstDetails show
BrandingText "${MAKER}"
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

; The plain install shows the modern pages; the update shows only its
; progress, and the suite form runs silently.
!define MUI_ABORTWARNING
; The product's long title needs the third line of the big titles.
!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessPlainInstall
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessPlainInstall
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE KeepToWritableFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessPlainInstall
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"  ; the standard text holds the title, too long for one line
!define MUI_FINISHPAGE_RUN_FUNCTION StartProduct
; The finish page's second box offers the desktop shortcut.
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(DesktopShortcut)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION CreateDesktopShortcut
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The product's nine languages, English first as the fall-back; the texts of
; our own come from Languages.nsh.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "TradChinese"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Japanese"
!include /CHARSET=UTF8 "${__FILEDIR__}/Languages.nsh"

!include "${PAYLOAD_LIST}"

; Speaks the language the product speaks: the user's stored choice, else the
; system's, as the product itself chooses it (SetupLanguage.exe runs that
; same code and answers with the language index). Silent runs show no text.
!macro UseProductLanguage
  ${IfNot} ${Silent}
    InitPluginsDir
    File "/oname=$PLUGINSDIR\SetupLanguage.exe" "${LANGUAGE_HELPER}"
    ClearErrors
    ExecWait '"$PLUGINSDIR\SetupLanguage.exe" "${MAKER}" "${TITLE}"' $0
    ${IfNot} ${Errors}
      ${Select} $0
        ${Case} 0
          StrCpy $LANGUAGE ${LANG_SIMPCHINESE}
        ${Case} 1
          StrCpy $LANGUAGE ${LANG_TRADCHINESE}
        ${Case} 2
          StrCpy $LANGUAGE ${LANG_GERMAN}
        ${Case} 4
          StrCpy $LANGUAGE ${LANG_FRENCH}
        ${Case} 5
          StrCpy $LANGUAGE ${LANG_ITALIAN}
        ${Case} 6
          StrCpy $LANGUAGE ${LANG_SPANISH}
        ${Case} 7
          StrCpy $LANGUAGE ${LANG_PORTUGUESEBR}
        ${Case} 8
          StrCpy $LANGUAGE ${LANG_JAPANESE}
        ${CaseElse}
          StrCpy $LANGUAGE ${LANG_ENGLISH}  ; index 3, and what the product shows in English too
      ${EndSelect}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  !insertmacro UseProductLanguage
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
    Call IsPlainFolderName
    ${If} $R9 != 1
      MessageBox MB_OK|MB_ICONSTOP "$(BadAlias)" /SD IDOK
      SetErrorLevel ${EXIT_BAD_ALIAS}
      Quit
    ${EndIf}
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
      MessageBox MB_OK|MB_ICONSTOP "$(NotInstalled)" /SD IDOK
      SetErrorLevel ${EXIT_NOT_INSTALLED}
      Quit
    ${EndIf}
    Call RefuseUnwritableFolder
    Return
  ${EndIf}
  ${If} ${Silent}
    Call RefuseUnwritableFolder  ; the folder page checks a folder chosen there
  ${EndIf}
FunctionEnd

; $R9 = 1 when $INSTDIR can be written: made when missing, then a file made
; and removed in it. On Windows a standard user cannot write below Program
; Files; better to say so now than to fail halfway through the copy.
Function FolderWritable
  StrCpy $R9 0
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $R8 "$INSTDIR\~write-check.tmp" w
  ${IfNot} ${Errors}
    FileClose $R8
    Delete "$INSTDIR\~write-check.tmp"
    StrCpy $R9 1
  ${EndIf}
FunctionEnd

Function RefuseUnwritableFolder
  Call FolderWritable
  ${If} $R9 != 1
    MessageBox MB_OK|MB_ICONSTOP "$(FolderNotWritable)$\r$\n$\r$\n$INSTDIR" /SD IDOK
    SetErrorLevel ${EXIT_FOLDER_NOT_WRITABLE}
    Quit
  ${EndIf}
FunctionEnd

; Leaving the folder page: stays on it while the folder cannot be written.
Function KeepToWritableFolder
  Call FolderWritable
  ${If} $R9 != 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(FolderNotWritable)$\r$\n$\r$\n$INSTDIR"
    Abort
  ${EndIf}
FunctionEnd

; $R9 = 1 when $R1 names one folder: not empty, at most MAX_ALIAS characters,
; no separator or character Windows forbids in a name, no leading or
; trailing dot or blank (so neither "." nor ".." nor a name Windows would
; trim to another), and not a name Windows keeps for a device.
Function IsPlainFolderName
  StrCpy $R9 0
  StrLen $R2 $R1
  ${If} $R2 == 0
  ${OrIf} $R2 > ${MAX_ALIAS}
    Return
  ${EndIf}
  StrCpy $R3 $R1 1
  StrCpy $R4 $R1 "" -1
  ${If} $R3 == "."
  ${OrIf} $R3 == " "
  ${OrIf} $R4 == "."
  ${OrIf} $R4 == " "
    Return
  ${EndIf}
  StrCpy $R6 '\/:*?"<>|$\t$\r$\n'
  StrLen $R7 $R6
  StrCpy $R5 0
  ${DoWhile} $R5 < $R2
    StrCpy $R3 $R1 1 $R5
    StrCpy $R4 0
    ${DoWhile} $R4 < $R7
      StrCpy $R8 $R6 1 $R4
      ${If} $R3 == $R8
        Return
      ${EndIf}
      IntOp $R4 $R4 + 1
    ${Loop}
    IntOp $R5 $R5 + 1
  ${Loop}
  ${WordFind} "$R1" "." "+1" $R3  ; "CON.txt" is the device too
  StrCpy $R4 $R3 3
  StrCpy $R5 $R3 "" 3
  ${If} $R3 == "CON"
  ${OrIf} $R3 == "PRN"
  ${OrIf} $R3 == "AUX"
  ${OrIf} $R3 == "NUL"
    Return
  ${EndIf}
  ${If} $R4 == "COM"
  ${OrIf} $R4 == "LPT"
    IntOp $R6 $R5 + 0  ; "COM1" to "COM9"; "COM10" and "COM1a" are plain names
    ${If} $R6 >= 1
    ${AndIf} $R6 <= 9
    ${AndIf} $R6 == $R5
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $R9 1
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
  DetailPrint "$(WaitingToClose)"
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
  MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
  SetErrorLevel ${EXIT_STILL_RUNNING}
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
  ; The Start menu's entry is the user's way back to the program; an update
  ; puts it back too, should the user have removed it.
  CreateShortCut "${START_MENU_SHORTCUT}" "$INSTDIR\${PROGRAM}"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DESKTOPSHORTCUT" $R1
  ${IfNot} ${Errors}
    Call CreateDesktopShortcut
  ${EndIf}
  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${SETTINGS_KEY}" "Version" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
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

; The setup runs as the user, so the product it starts does too.
Function StartProduct
  DetailPrint "$(StartingProduct)"
  Exec '"$INSTDIR\${PROGRAM}"'
FunctionEnd

Function CreateDesktopShortcut
  CreateShortCut "${DESKTOP_SHORTCUT}" "$INSTDIR\${PROGRAM}"
FunctionEnd

Section "un.$(UnProgram)" UnProgram
  SectionIn RO
  Delete "$INSTDIR\${PROGRAM}"
  !insertmacro PAYLOAD_FILES RemovePayloadFile
  !insertmacro PAYLOAD_FOLDERS RemovePayloadFolder
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "${START_MENU_SHORTCUT}"
  Delete "${DESKTOP_SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

; The settings folder is the product's own (its settings store and start
; marker); the day folders of the logs are the maker's, so only the
; product's logs and crash reports go from them.
Section /o "un.$(UnUserData)" UnUserData
  RMDir /r "$APPDATA\${MAKER}\${TITLE}"
  RMDir "$APPDATA\${MAKER}"
  FindFirst $0 $1 "$TEMP\${MAKER}\*"
  ${DoWhile} $1 != ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
      Delete "$TEMP\${MAKER}\$1\${PROGRAM}.*"
      Delete "$TEMP\${MAKER}\$1\*.dmp"
      Delete "$TEMP\${MAKER}\$1\*.zip"
      Delete "$TEMP\${MAKER}\$1\Crash.json"
      RMDir "$TEMP\${MAKER}\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  RMDir "$TEMP\${MAKER}"
SectionEnd

Function un.onInit
  !insertmacro UseProductLanguage
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/REMOVEUSERDATA" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnUserData}
  ${EndIf}
FunctionEnd
