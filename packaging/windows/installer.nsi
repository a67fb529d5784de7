; The QVR installer: for the user who runs it, without administrator rights, into
; %LOCALAPPDATA%\Programs\QVR, with a Start-menu entry and an uninstaller.
;   makensis -DVERSION=2.0 -DSTAGE=<unpacked zip folder> -DOUT=<installer.exe> installer.nsi
; The uninstaller removes the program's files and keeps the database QVRdb.mdb (and the
; recordings, which live elsewhere) unless the user says otherwise.
; A 64-bit installer for the 64-bit program (and Wine without its 32-bit half runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "QVR ${VERSION}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\QVR"
InstallDirRegKey HKCU "Software\QVR" "InstallDir"
!define UNINST "Software\Microsoft\Windows\CurrentVersion\Uninstall\QVR"

!include "MUI2.nsh"
!define MUI_ICON "${STAGE}\qvr.ico"
!define MUI_UNICON "${STAGE}\qvr.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\qvr.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "QVR"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "QVR ${VERSION} installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright 2026 the QVR developers"

Section "QVR"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\QVR.lnk" "$INSTDIR\qvr.exe" "" "$INSTDIR\qvr.exe" 0
    WriteRegStr HKCU "Software\QVR" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINST}" "DisplayName" "QVR ${VERSION}"
    WriteRegStr HKCU "${UNINST}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINST}" "Publisher" "the QVR developers"
    WriteRegStr HKCU "${UNINST}" "DisplayIcon" "$INSTDIR\qvr.exe"
    WriteRegStr HKCU "${UNINST}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINST}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINST}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINST}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINST}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\QVR.lnk"
    ; The program's own files only: the database beside it stays.
    Delete "$INSTDIR\*.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\qvr.ico"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\README-Windows.txt"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\licenses"
    IfFileExists "$INSTDIR\QVRdb.mdb" 0 done
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "Also delete QVR's database (its stored programs and logs)?$\r$\n$INSTDIR\QVRdb.mdb" \
            /SD IDNO IDNO done
        Delete "$INSTDIR\QVRdb.mdb"
    done:
    RMDir "$INSTDIR" ; only when nothing is left in it
    DeleteRegKey HKCU "${UNINST}"
    DeleteRegKey HKCU "Software\QVR"
SectionEnd
