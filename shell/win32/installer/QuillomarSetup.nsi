; The Quillomar installer: puts QXVShell.dll (and, when built, qxvsd.exe and quillomar.exe) into
; the program folder, registers the DLL, and attaches its context-menu handler to all files and
; to folders. The uninstaller takes back every file and key the installer made. Both run
; silently with /S.
;
; Defined on the makensis command line: OUTFILE, DLL, and optionally STUB and TOOL (full paths
; of the files to install).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Quillomar"
!define CLSID "{2FF392DF-967F-4A20-93D3-161401529957}"
!define FILE_HANDLER "*\shellex\ContextMenuHandlers\Quillomar"
!define FOLDER_HANDLER "Directory\shellex\ContextMenuHandlers\Quillomar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillomar"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    File "${DLL}"
!ifdef STUB
    File "${STUB}"
!endif
!ifdef TOOL
    File "${TOOL}"
!endif
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\QXVShell.dll"' $0
    ${If} $0 != 0
        ; Nothing half-installed: take back the files and stop.
        MessageBox MB_OK|MB_ICONSTOP "QXVShell.dll could not be registered (code $0)." /SD IDOK
        Call RemoveFiles
        SetErrorLevel 2
        Abort
    ${EndIf}

    WriteRegStr HKCR "${FILE_HANDLER}" "" "${CLSID}"
    WriteRegStr HKCR "${FOLDER_HANDLER}" "" "${CLSID}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "1.0.1.59"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function RemoveFiles
    Delete "$INSTDIR\QXVShell.dll"
    Delete "$INSTDIR\qxvsd.exe"
    Delete "$INSTDIR\quillomar.exe"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
FunctionEnd

Section "Uninstall"
    DeleteRegKey HKCR "${FILE_HANDLER}"
    DeleteRegKey HKCR "${FOLDER_HANDLER}"
    ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\QXVShell.dll"'
    ; The file manager may still hold the DLL: then it goes at the next restart.
    Delete /REBOOTOK "$INSTDIR\QXVShell.dll"
    Delete "$INSTDIR\qxvsd.exe"
    Delete "$INSTDIR\quillomar.exe"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
