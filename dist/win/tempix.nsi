; The Windows installer: Tempix for every user of the machine under Program Files\Tempix, a Start
; menu entry, and an uninstaller listed among the system's programs. /S installs (and uninstalls)
; without a question. The user's files are never the installer's: they live in %LOCALAPPDATA%\Tempix
; and stay when the program is removed.
; makensis -DSOURCE=<folder with Tempix.exe, help, locale, sndata.txt, README.txt> -DVERSION=1.2
;          -DOUTFILE=<Tempix-setup.exe> tempix.nsi
Target amd64-unicode
SetCompressor /SOLID lzma
!include MUI2.nsh
!include x64.nsh

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tempix"
Name "Tempix ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tempix"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1045 "ProductName" "Tempix"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu Tempix"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "The Tempix developers"

!define MUI_ICON "${SOURCE}\tempix.ico"
!define MUI_UNICON "${SOURCE}\tempix.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tempix.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Function .onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${SOURCE}\Tempix.exe"
  File "${SOURCE}\sndata.txt"
  File "${SOURCE}\README.txt"
  File /r "${SOURCE}\help"
  File /r "${SOURCE}\locale"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tempix.lnk" "$INSTDIR\Tempix.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Tempix"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "Publisher" "The Tempix developers"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\Tempix.exe"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\Tempix.exe"
  Delete "$INSTDIR\sndata.txt"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\help"
  RMDir /r "$INSTDIR\locale"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tempix.lnk"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
