; The Windows installer, made by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=1.0 -DFILES=files.nsh -DOUTFILE=setup.exe -DICON=kestrane.ico installer.nsi
; FILES defines the macros KestraneFiles (File lines for every installed
; file) and KestraneRemove (Delete and RMDir lines for the same files), made
; from the release folder so both lists are always the files shipped.
; For one user (no administrator needed) or, for an administrator, for all
; users in Program Files; /CurrentUser or /AllUsers choose without asking,
; /S installs and uninstalls silently.
; A 64-bit installer for a 64-bit game: it also runs where Wine has no
; 32-bit half, and needs no registry or folder redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrane"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR Kestrane
!define MULTIUSER_USE_PROGRAMFILES64
; The uninstaller finds the mode it was installed in where the installer left it.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME InstallMode
!include MultiUser.nsh
!include MUI2.nsh
!include ${FILES}

Name "Kestrane"
OutFile "${OUTFILE}"
BrandingText "Kestrane ${VERSION}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestrane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Play Kestrane"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductName "Kestrane"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "Kestrane ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} CompanyName "The Kestrane developers"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "Copyright (c) 2026 The Kestrane developers, MIT License"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Kestrane"
  !insertmacro KestraneFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Kestrane.lnk" "$INSTDIR\kestrane.exe" "" "$INSTDIR\kestrane.exe" 0
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "Kestrane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "The Kestrane developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\kestrane.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallMode $MultiUser.InstallMode
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

; Only what the installer put there: a file the player added to the folder
; stays, and with it the folder.
Section "Uninstall"
  !insertmacro KestraneRemove
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kestrane.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
