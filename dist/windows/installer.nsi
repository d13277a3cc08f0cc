; The Windows installer, made by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=1.0 -DFILES=files.nsh -DOUTFILE=setup.exe -DICON=kestrane.ico
;     -DWIZARD=wizard.bmp -DHEADER=header.bmp installer.nsi
; FILES defines the macros KestraneFiles (File lines for every installed
; file) and KestraneRemove (Delete and RMDir lines for the same files), made
; from the release folder so both lists are always the files shipped.
; WIZARD (164 x 314) and HEADER (150 x 57) are the art generator's pictures
; for the finish page and the top of the other pages.
; For one user, with the rights it was started with (no elevation asked), or,
; started as administrator, for all users in Program Files; /CurrentUser or
; /AllUsers choose without asking, /S installs and uninstalls silently.
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
; MultiUser's "Highest" keeps its choice of all users for an installer
; started as administrator; the installer itself asks for no elevation, so
; an ordinary start installs for the current user and everything it starts
; (the game on the finish page) runs with the user's own rights.
RequestExecutionLevel user
!include MUI2.nsh
!include "${FILES}"

Name "Kestrane"
OutFile "${OUTFILE}"
BrandingText "Kestrane ${VERSION}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_BITMAP "${HEADER}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Play Kestrane"
!define MUI_FINISHPAGE_RUN_FUNCTION PlayUnelevated

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

; Removing or updating the install for all users needs elevation, which an
; installer or uninstaller without it asks for by starting itself again as
; administrator with the arguments ARGS, and ends. It goes on where the user
; declines (the error flag set).
!macro ElevateForAllUsers ARGS
  ClearErrors
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
  ${AndIf} $0 != "Power"
    StrCpy $1 "${ARGS}"
    IfSilent 0 +2
      StrCpy $1 "/S $1"
    ClearErrors
    ExecShell "runas" "$EXEPATH" $1
    ${IfNot} ${Errors}
      Quit
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ; Kestrane installed for all users and not for this one: the update goes
  ; there rather than into a second copy beside it, unless the user declines
  ; or asked for /CurrentUser.
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/CurrentUser" $3
  ${If} ${Errors}
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" InstallMode
    ReadRegStr $4 HKCU "${UNINSTALL_KEY}" InstallMode
    ${If} $3 == "AllUsers"
    ${AndIf} $4 == ""
      !insertmacro ElevateForAllUsers "/AllUsers"
    ${EndIf}
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  ; The uninstaller of the install for all users (its folder is the one
  ; registered there) goes no further without elevation.
  ReadRegStr $3 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $3 == $INSTDIR
    !insertmacro ElevateForAllUsers "/AllUsers _?=$INSTDIR"
    IfErrors 0 +2
      Quit
  ${EndIf}
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; The installer may run elevated (installing for all users), and a program it
; started would too, and so would the browser the game's link opens: the
; shell that is already running starts the game instead, with the user's own
; rights.
Function PlayUnelevated
  ${If} $MultiUser.Privileges == "Admin"
  ${OrIf} $MultiUser.Privileges == "Power"
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\kestrane.exe"'
  ${Else}
    Exec '"$INSTDIR\kestrane.exe"'
  ${EndIf}
FunctionEnd

; An update first removes the install it replaces with that install's own
; uninstaller, run silently in its folder (_?= keeps it there and makes the
; wait real), so files the older version shipped and this one does not are
; not left behind; files the player added stay.
Function RemovePrevious
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" InstallLocation
  ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" InstallMode
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S /$1 _?=$0'
    ; Run in place, it cannot remove itself.
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "Kestrane"
  Call RemovePrevious
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
