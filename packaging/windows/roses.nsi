; The Windows installer: roses.scr into the 64-bit system folder, an entry in Apps & features,
; and (unless /KEEPSAVER is given) Roses as the installing user's screen saver.
; Built by CMake (target roses_installer) with makensis -WX and these defines, all absolute:
;   VERSION  major.minor.patch      SCR      the built roses.scr
;   LICENSE  the licence text       ICON     the saver's icon       OUTFILE  the installer
Unicode true
; A 64-bit installer writes straight into the real system32: no file-system redirection to
; turn off, and it starts on Wine setups that have no 32-bit side.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Roses"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PUBLISHER "The Roses authors"
; SystemParametersInfo action and flags: save the setting and tell every window about it.
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3

Name "Roses ${VERSION}"
OutFile "${OUTFILE}"
; The saver itself goes to $SYSDIR; this folder holds only the uninstaller.
InstallDir "$PROGRAMFILES64\Roses"
BrandingText "Roses ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Roses"
VIAddVersionKey /LANG=1033 "FileDescription" "Roses ${VERSION} setup"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Roses screen saver" section_saver
  SectionIn RO
  SetRegView 64
  SetOverwrite on
  SetOutPath "$SYSDIR"
  File "/oname=roses.scr" "${SCR}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; One key for every version: installing a newer one over an older one rewrites it.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Roses"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\roses.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=roses.scr /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Roses the current screen saver" section_activate
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\roses.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})'
SectionEnd

; setup.exe /S /KEEPSAVER installs without touching the user's choice of screen saver.
Function .onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/KEEPSAVER" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${section_activate} 0
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Delete "$SYSDIR\roses.scr"
  ; Only where the user's saver is still Roses: another saver chosen since stays chosen.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == "$SYSDIR\roses.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "0"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
