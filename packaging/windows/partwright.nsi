; The Windows installer of Partwright, built by scripts/package.sh with Debian's
; makensis, run from the folder to install, with -NOCD and these defines:
;   VERSION   1.0.0            ICON      the icon file
;   OUTFILE   the setup .exe   FILES     an include of SetOutPath/File lines
;   UNFILES   an include of the matching Delete/RMDir lines
;   SIZE_KB   the installed size
; It installs for the current user only, without administrator rights, and
; a silent run (/S) asks nothing. Uninstalling removes exactly what it
; installed; the user's options (HKCU\Software\Quillmark\Partwright) and the
; pieces the user made stay.

Unicode true
; Debian's default stub is 32-bit; the programs are 64-bit anyway.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define APP "Partwright"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Partwright"
!define OPEN_WITH_KEY "Software\Classes\Applications\partwright.exe"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\partwright.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Partwright"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${APP}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "The Partwright developers"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "MIT licence"

Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Partwright"
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\partwright.exe" "" "$INSTDIR\partwright.exe" 0
    ; Explorer's "Send to" hands every selected file to one window.
    CreateShortCut "$SENDTO\${APP}.lnk" "$INSTDIR\partwright.exe" "" "$INSTDIR\partwright.exe" 0
    ; "Open with" offers the window for text files.
    WriteRegStr HKCU "${OPEN_WITH_KEY}" "FriendlyAppName" "${APP}"
    WriteRegStr HKCU "${OPEN_WITH_KEY}\SupportedTypes" ".txt" ""
    WriteRegStr HKCU "${OPEN_WITH_KEY}\shell\open\command" "" '"$INSTDIR\partwright.exe" "%1"'
    WriteRegStr HKCU "Software\Classes\.txt\OpenWithList\partwright.exe" "" ""

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Partwright developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\partwright.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    ; A folder that is the current one cannot go: leave it first. Only when
    ; empty: whatever the user put there stays.
    SetOutPath "$TEMP"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${APP}.lnk"
    Delete "$SENDTO\${APP}.lnk"
    DeleteRegKey HKCU "${OPEN_WITH_KEY}"
    DeleteRegKey HKCU "Software\Classes\.txt\OpenWithList\partwright.exe"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
