; The Windows installer, made by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=1.0 -DFILES=files.nsh -DOUTFILE=setup.exe -DICON=kestrane.ico
;     -DWIZARD=wizard.bmp -DHEADER=header.bmp installer.nsi
; FILES defines the macros KestraneFiles EACH, which inserts the macro EACH
; with the path in the install (backslashes) and the source of every file
; shipped, and KestraneFolders EACH, with every folder, deepest first; both
; are made from the release folder, so the lists are always what is shipped.
; WIZARD (164 x 314) and HEADER (150 x 57) are the art generator's pictures
; for the finish page and the top of the other pages.
; For one user, with the rights it was started with (no elevation asked), or,
; started as administrator, for all users in Program Files; /CurrentUser or
; /AllUsers choose without asking, /S installs and uninstalls silently, /D=
; names the folder. An update is all or nothing: see the section below.
; -DPLAIN_USER_SWITCH makes a build for tests only, in which /PlainUser makes
; the installer take its account for a plain user's (Wine runs every program
; as administrator); the copy it starts elevated is not given the switch.
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
!define MULTIUSER_INSTALLMODE_FUNCTION ChooseFolder
!include MultiUser.nsh
; MultiUser's "Highest" keeps its choice of all users for an installer
; started as administrator; the installer itself asks for no elevation, so
; an ordinary start installs for the current user and everything it starts
; (the game on the finish page) runs with the user's own rights.
RequestExecutionLevel user
!include MUI2.nsh
!include "${FILES}"
!include FileFunc.nsh
!include TextFunc.nsh
!include WordFunc.nsh

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

; Exit codes besides 0: NSIS's own for a run the script ended, and Windows'
; for an elevation the user declined.
!define FAILED 2
!define DECLINED 1223
; A running program's file cannot be opened for writing.
!define ERROR_SHARING_VIOLATION 32
!define GENERIC_WRITE 0x40000000
!define OPEN_EXISTING 3

; The update's two folders inside the install: the new files, put there
; first, and the old ones they replace, kept until the new version is
; registered. Both are the installer's own, removed whole.
!define NEW "$INSTDIR\.update-new"
!define OLD "$INSTDIR\.update-old"
; The files an install put there, one path a line, for the update after it.
!define LIST "installed-files.txt"

Var GivenFolder
Var OldDir
!ifdef PLAIN_USER_SWITCH
  Var PlainUser
!endif

; Each file an install puts in its folder: the shipped ones, their list and
; the uninstaller (these two have no source).
!macro EachInstalled EACH
  !insertmacro KestraneFiles ${EACH}
  !insertmacro ${EACH} "${LIST}" ""
  !insertmacro ${EACH} "uninstall.exe" ""
!macroend

!macro Fail MESSAGE
  MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
  SetErrorLevel ${FAILED}
  Quit
!macroend

; Installing or removing for all users needs elevation, which an installer or
; uninstaller without it asks for by starting itself again as administrator
; with the parameters in $R0. It waits for that copy and ends with its exit
; code, so whoever started it learns the real result once it has happened.
; Where the elevation is declined it goes on, with $R2 "declined".
!macro ElevateForAllUsers
  StrCpy $R2 ""
  UserInfo::GetAccountType
  Pop $0
  !ifdef PLAIN_USER_SWITCH
    StrCmp $PlainUser 1 0 +2
      StrCpy $0 User
  !endif
  ${If} $0 != "Admin"
  ${AndIf} $0 != "Power"
    StrCpy $R1 $EXEPATH
    ; SHELLEXECUTEINFOW as laid out for 64 bits, asking for the process
    ; handle (SEE_MASK_NOCLOSEPROCESS); its last field receives it.
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w R1, w R0, p 0, i ${SW_SHOWNORMAL}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
    System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r3)'
    System::Free $1
    ${If} $2 != 0
    ${AndIf} $3 != 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
      System::Call 'kernel32::CloseHandle(p r3)'
      SetErrorLevel $4
      Quit
    ${EndIf}
    StrCpy $R2 "declined"
  ${EndIf}
!macroend

; A running game holds its program file, which Windows then lets nobody open
; for writing (renaming it would still work): found before anything is
; touched, the player is asked to close it, and a silent run fails at once.
!macro CloseGameFirst
  ${Do}
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\kestrane.exe", i ${GENERIC_WRITE}, i 7, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r0 ?e'
    Pop $1
    ${If} $0 != -1
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    ${If} $1 != ${ERROR_SHARING_VIOLATION}
      ${ExitDo}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kestrane is running. Close the game, then choose Retry." /SD IDCANCEL IDRETRY +3
      SetErrorLevel ${FAILED}
      Quit
  ${Loop}
!macroend

Function .onInit
  ; /D= as given, which MultiUser would replace by its mode's default folder.
  StrCpy $GivenFolder $INSTDIR
  ${GetParameters} $R0
  !ifdef PLAIN_USER_SWITCH
    ClearErrors
    ${GetOptions} $R0 "/PlainUser" $0
    ${IfNot} ${Errors}
      StrCpy $PlainUser 1
      ${WordReplace} $R0 "/PlainUser" "" "+" $R0
    ${EndIf}
  !endif
  ; For all users when asked, or when Kestrane is installed for all users
  ; and not for this one (the update goes there rather than into a second
  ; copy beside it), unless /CurrentUser is given.
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $0
  ${If} ${Errors}
    StrCpy $5 ""
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $0
    ${IfNot} ${Errors}
      StrCpy $5 1
    ${EndIf}
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" InstallMode
    ReadRegStr $4 HKCU "${UNINSTALL_KEY}" InstallMode
    ${If} $3 == "AllUsers"
    ${AndIf} $4 == ""
      StrCpy $5 1
    ${EndIf}
    ${If} $5 == 1
      ; NSIS takes all that follows /D= for the folder: it comes last.
      StrCpy $R0 "$R0 /AllUsers"
      ${If} $GivenFolder != ""
        StrCpy $R0 "$R0 /D=$GivenFolder"
      ${EndIf}
      !insertmacro ElevateForAllUsers
      ; Declined: the player installs for the current user; a silent run has
      ; nobody to choose.
      ${If} $R2 == "declined"
      ${AndIf} ${Silent}
        SetErrorLevel ${DECLINED}
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

; Called by MultiUser whenever the mode, and with it the default folder, is
; set: an update goes where the version it replaces is, and /D= wins.
Function ChooseFolder
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $GivenFolder != ""
    StrCpy $INSTDIR $GivenFolder
  ${EndIf}
FunctionEnd

Function un.onInit
  ; The uninstaller of the install for all users (its folder is the one
  ; registered there) goes no further without elevation.
  ReadRegStr $3 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $3 == $INSTDIR
    ${un.GetParameters} $R0
    StrCpy $R0 "$R0 /AllUsers _?=$INSTDIR"
    !insertmacro ElevateForAllUsers
    ${If} $R2 == "declined"
      SetErrorLevel ${DECLINED}
      Quit
    ${EndIf}
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

!macro StageFolder DIR
  CreateDirectory "${NEW}\${DIR}"
  CreateDirectory "${OLD}\${DIR}"
  CreateDirectory "$INSTDIR\${DIR}"
!macroend
!macro StageFile REL SRC
  File "/oname=${NEW}\${REL}" "${SRC}"
  FileWrite $R9 "${REL}$\r$\n"
!macroend
; Moves the old file aside, then the new one in; Rename never replaces.
!macro SwapIn REL SRC
  ${If} ${FileExists} "$INSTDIR\${REL}"
    Rename "$INSTDIR\${REL}" "${OLD}\${REL}"
  ${EndIf}
  Rename "${NEW}\${REL}" "$INSTDIR\${REL}"
!macroend
; Undoes SwapIn from wherever it stopped.
!macro SwapBack REL SRC
  ${If} ${FileExists} "${OLD}\${REL}"
    Delete "$INSTDIR\${REL}"
    Rename "${OLD}\${REL}" "$INSTDIR\${REL}"
  ${ElseIfNot} ${FileExists} "${NEW}\${REL}"
    Delete "$INSTDIR\${REL}"
  ${EndIf}
!macroend
!macro RemoveEmptyFolder DIR
  RMDir "$INSTDIR\${DIR}"
!macroend
!macro MatchInstalled REL SRC
  StrCmp $R0 "${REL}" 0 +2
    StrCpy $R1 1
!macroend

Function SwapBackAll
  !insertmacro EachInstalled SwapBack
  !insertmacro KestraneFolders RemoveEmptyFolder
  RMDir /r "${NEW}"
  RMDir /r "${OLD}"
FunctionEnd

Function Register
  ClearErrors
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "Kestrane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "The Kestrane developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\kestrane.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallMode $MultiUser.InstallMode
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
  ; Last: until it is written, the version named is the older one.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
FunctionEnd

; Removes from the folder $R2 the files named in its list $R3 (all of them
; when $R4 is "all", else those this version does not install) and the
; folders that leaves empty. A line naming anything outside the folder is
; passed over.
Function RemoveListed
  ClearErrors
  FileOpen $R5 $R3 r
  IfErrors done
  ${Do}
    ClearErrors
    FileRead $R5 $R0
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${TrimNewLines} $R0 $R0
    ${StrStr} $R6 $R0 ".."
    ${StrStr} $R7 $R0 ":"
    StrCpy $R8 $R0 1
    ${If} $R0 == ""
    ${OrIf} $R6 != ""
    ${OrIf} $R7 != ""
    ${OrIf} $R8 == "\"
    ${OrIf} $R8 == "/"
      ${Continue}
    ${EndIf}
    StrCpy $R1 ""
    ${If} $R4 != "all"
      !insertmacro EachInstalled MatchInstalled
    ${EndIf}
    ${If} $R1 == ""
      Delete "$R2\$R0"
      ${Do}
        ${GetParent} $R0 $R0
        ${If} $R0 == ""
          ${ExitDo}
        ${EndIf}
        RMDir "$R2\$R0"
      ${Loop}
    ${EndIf}
  ${Loop}
  FileClose $R5
  done:
FunctionEnd

; All or nothing: the new files are written beside the old install, then
; swapped in; a file that cannot be written, or a step that fails, puts the
; old files back and ends the run with an error, so the install on disk is
; whole and the one registered. Only once the new version is registered are
; the files the older one shipped and this one does not removed, by the list
; the older installer left. Files the player added are never touched.
Section "Kestrane"
  !insertmacro CloseGameFirst
  ReadRegStr $OldDir SHCTX "${UNINSTALL_KEY}" InstallLocation
  ; Left by a run that was cut off.
  RMDir /r "${NEW}"
  RMDir /r "${OLD}"

  SetOverwrite try
  ClearErrors
  CreateDirectory "${NEW}"
  CreateDirectory "${OLD}"
  !insertmacro KestraneFolders StageFolder
  FileOpen $R9 "${NEW}\${LIST}" w
  !insertmacro KestraneFiles StageFile
  FileClose $R9
  WriteUninstaller "${NEW}\uninstall.exe"
  ${If} ${Errors}
    RMDir /r "${NEW}"
    RMDir /r "${OLD}"
    !insertmacro KestraneFolders RemoveEmptyFolder
    RMDir "$INSTDIR"
    !insertmacro Fail "Kestrane could not write its files in $INSTDIR."
  ${EndIf}

  ; (Testing the error flag clears it: each test ends in a jump.)
  !insertmacro EachInstalled SwapIn
  IfErrors swap_failed
  Call Register
  IfErrors 0 registered
  swap_failed:
    Call SwapBackAll
    !insertmacro Fail "Kestrane could not replace the version in $INSTDIR, which stays as it was."
  registered:

  ${If} $OldDir == $INSTDIR
    StrCpy $R2 $INSTDIR
    StrCpy $R3 "${OLD}\${LIST}"
    StrCpy $R4 ""
    Call RemoveListed
  ${ElseIf} ${FileExists} "$OldDir\${LIST}"
    ; Moved: the install in the other folder goes, by its list.
    StrCpy $R2 $OldDir
    StrCpy $R3 "$OldDir\${LIST}"
    StrCpy $R4 "all"
    Call RemoveListed
    Delete "$OldDir\${LIST}"
    Delete "$OldDir\uninstall.exe"
    RMDir "$OldDir"
  ${ElseIf} ${FileExists} "$OldDir\uninstall.exe"
    ; An install from before the lists, in another folder: its own
    ; uninstaller removes it (and with it the registry key, written again).
    ExecWait '"$OldDir\uninstall.exe" /S /$MultiUser.InstallMode _?=$OldDir'
    Delete "$OldDir\uninstall.exe"
    RMDir "$OldDir"
    Call Register
  ${EndIf}
  RMDir /r "${NEW}"
  RMDir /r "${OLD}"
  CreateShortCut "$SMPROGRAMS\Kestrane.lnk" "$INSTDIR\kestrane.exe" "" "$INSTDIR\kestrane.exe" 0
SectionEnd

!macro RemoveInstalled REL SRC
  Delete "$INSTDIR\${REL}"
!macroend

; Only what the installer put there: a file the player added to the folder
; stays, and with it the folder.
Section "Uninstall"
  !insertmacro CloseGameFirst
  !insertmacro EachInstalled RemoveInstalled
  !insertmacro KestraneFolders RemoveEmptyFolder
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kestrane.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
