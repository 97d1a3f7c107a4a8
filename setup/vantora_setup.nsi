; The players' setup program of Vantora Online. It installs the launcher build
; that fits the PC, with its self-updater, into a folder below Program Files
; (which only administrators can change), adds shortcuts and registers an
; uninstaller. Made by setup/make-setup.sh:
;   makensis -DTARGET=x86|amd64 -DOUT_FILE=... -DX64_DIR=... -DWIN7_DIR=...
;            -DVERSION=... -DPUBLISHER=... -DICON=... [-DSIGN_COMMAND=...] vantora_setup.nsi
; Command line: /S (silent), /BUILD=x64|win7 (forces a build), /D=FOLDER (last).
Unicode true
!if "${TARGET}" == "amd64"
    Target amd64-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include x64.nsh

!define PRODUCT "Vantora Online"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VantoraOnline"
!define UNINSTALLER "Uninstall Vantora Online.exe"
!define SHORTCUT "${PRODUCT}.lnk"
!define REFUSED 2  ; exit code of a refused run

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow
!ifdef SIGN_COMMAND
    !finalize '"${SIGN_COMMAND}" "%1"' = 0
    !uninstfinalize '"${SIGN_COMMAND}" "%1"' = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderBeforeInstall
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "The launcher, the game and every file in this folder will be removed. \
Your game settings (setup.ini in your user profile) are kept."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Launcher     ; file name of the launcher program of the chosen build
Var SelfUpdater  ; file name of its self-updater

; Stops the run with a message (none in silent runs) and the refusal exit code.
!macro Refuse TEXT
    MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
    SetErrorLevel ${REFUSED}
    Quit
!macroend

; $R0 := "1" when FOLDER holds the launcher program of either build.
!macro HoldsLauncher FOLDER
    StrCpy $R0 ""
    ${If} ${FileExists} "${FOLDER}\Tessaly.exe"
    ${OrIf} ${FileExists} "${FOLDER}\Tessaly Win7.exe"
        StrCpy $R0 1
    ${EndIf}
!macroend

Function .onInit
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/BUILD=" $1
    ${If} ${Errors}
        ; The x64 build needs 64-bit Windows 8 or later; Windows 7 and
        ; 32-bit Windows get the 32-bit build.
        ${If} ${RunningX64}
        ${AndIf} ${AtLeastWin8}
            StrCpy $1 x64
        ${Else}
            StrCpy $1 win7
        ${EndIf}
    ${EndIf}
    ${If} $1 == x64
        ${IfNot} ${RunningX64}
            !insertmacro Refuse "The x64 build of ${PRODUCT} needs 64-bit Windows."
        ${EndIf}
        StrCpy $Launcher "Tessaly.exe"
        StrCpy $SelfUpdater "Selvane.exe"
    ${ElseIf} $1 == win7
        StrCpy $Launcher "Tessaly Win7.exe"
        StrCpy $SelfUpdater "Selvane Win7.exe"
    ${Else}
        !insertmacro Refuse "Unknown build '$1': /BUILD= takes x64 or win7."
    ${EndIf}
    ${If} ${Silent}
        Call CheckFolder
        ${If} $R1 != ""
            !insertmacro Refuse $R1
        ${EndIf}
    ${EndIf}
FunctionEnd

; $R1 := why $INSTDIR cannot take the game, or "". The uninstaller removes
; the whole folder, so it must hold nothing but the game: a folder that holds
; files but neither the launcher nor the game client is refused (a drive
; root never gets this far: NSIS takes none).
Function CheckFolder
    StrCpy $R1 ""
    !insertmacro HoldsLauncher $INSTDIR
    ${If} $R0 == 1
    ${OrIf} ${FileExists} "$INSTDIR\VantoraOnlineClient.exe"
        Return
    ${EndIf}
    FindFirst $0 $1 "$INSTDIR\*"
    ${DoWhile} $1 != ""
        ${If} $1 != "."
        ${AndIf} $1 != ".."
            StrCpy $R1 "$INSTDIR already holds other files. Choose an empty folder or the ${PRODUCT} folder."
            ${Break}
        ${EndIf}
        FindNext $0 $1
    ${Loop}
    FindClose $0
FunctionEnd

Function CheckFolderBeforeInstall
    Call CheckFolder
    ${If} $R1 != ""
        MessageBox MB_OK|MB_ICONEXCLAMATION $R1
        Abort
    ${EndIf}
FunctionEnd

Function StartLauncher
    SetOutPath $INSTDIR
    Exec '"$INSTDIR\$Launcher"'
FunctionEnd

Section
    SetShellVarContext all
    SetOutPath $INSTDIR
    ${If} $Launcher == "Tessaly.exe"
        File "${X64_DIR}\Tessaly.exe"
        File "${X64_DIR}\Selvane.exe"
        Delete "$INSTDIR\Tessaly Win7.exe"
        Delete "$INSTDIR\Selvane Win7.exe"
    ${Else}
        File "${WIN7_DIR}\Tessaly Win7.exe"
        File "${WIN7_DIR}\Selvane Win7.exe"
        Delete "$INSTDIR\Tessaly.exe"
        Delete "$INSTDIR\Selvane.exe"
    ${EndIf}
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; The launcher works on the folder it runs from: the shortcuts start it there.
    CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\$Launcher" "" "$INSTDIR\$Launcher" 0
    CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\$Launcher" "" "$INSTDIR\$Launcher" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\$Launcher,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    ${GetSize} $INSTDIR "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller removes the whole folder it stands for: it refuses one that
; does not hold the launcher, so that a mistaken folder is never emptied.
Function un.onInit
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
    !insertmacro HoldsLauncher $INSTDIR
    ${If} $R0 != 1
        !insertmacro Refuse "$INSTDIR does not hold the ${PRODUCT} launcher, so it is not a ${PRODUCT} folder. Nothing was removed."
    ${EndIf}
FunctionEnd

Section Uninstall
    SetShellVarContext all
    ; The shortcuts and the registration belong to the installation in this
    ; folder only; a copy elsewhere leaves them to the registered one.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Delete "$SMPROGRAMS\${SHORTCUT}"
        Delete "$DESKTOP\${SHORTCUT}"
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
    ; Everything the setup program and the launcher's updates put there.
    ; The per-user setup.ini lives in the user's profile and stays.
    SetOutPath $TEMP
    RMDir /r $INSTDIR
SectionEnd
