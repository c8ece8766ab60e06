; Per-user installer for Kestrova: no administrator rights, everything under the user's own
; folders and HKEY_CURRENT_USER. Built by the package_installer target of the Windows build:
;   makensis -DVERSION=<version> -DFILE_VERSION=<the version in four parts, 1.0.0.0>
;            -DSTAGE=<folder with the release files> -DICON=<Kestrova.ico>
;            -DOUTFILE=<Kestrova-<version>-setup.exe> Kestrova.nsi
; The version comes from project() in CMakeLists.txt.
; A 64-bit installer: the 32-bit one would need 32-bit Wine to be built and tested here.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!macro REQUIRE_DEFINE NAME
  !ifndef ${NAME}
    !error "Define ${NAME} (see the top of this file)"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE FILE_VERSION
!insertmacro REQUIRE_DEFINE STAGE
!insertmacro REQUIRE_DEFINE ICON
!insertmacro REQUIRE_DEFINE OUTFILE

!define PRODUCT "Kestrova"
!define PUBLISHER "Tamblin Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; Explorer shows this verb on .webm files whatever program owns the extension.
!define VERB_KEY "Software\Classes\SystemFileAssociations\.webm\shell\Kestrova.ConvertToAvi"
!define UNINSTALLER "Uninstall.exe"
; Kestrova.exe holds this mutex while it runs.
!define RUNNING_MUTEX "KestrovaMutexName"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

; The release's files, listed from STAGE: Setup writes these and the uninstaller deletes these, by
; name, and nothing else.
!tempfile FILE_LIST
!system '"${__FILEDIR__}/file-list.sh" "${STAGE}" "${FILE_LIST}"' = 0
!include "${FILE_LIST}"
!delfile "${FILE_LIST}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; Setup's own texts, in each language: installer/Languages.nsh.
!define MUI_WELCOMEPAGE_TEXT "$(TextWelcome)"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrova.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!define MUI_DIRECTORYPAGE_TEXT_TOP "$(TextDirectory)"

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!include "${__FILEDIR__}/Languages.nsh"

; Replacing or deleting the files of a running Kestrova would fail half-way (or, under some
; systems, succeed and leave it running from deleted files), so both directions refuse up front.
; Silently the message is skipped and the exit code (2) tells the caller.
!macro REFUSE_WHILE_RUNNING UN TEXT
  Function ${UN}RefuseWhileRunning
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING "" "$(TextRunningSetup)"
!insertmacro REFUSE_WHILE_RUNNING "un." "$(TextRunningUninstall)"

; NSIS takes the display language's primary language when it lacks the exact one, which would give
; a Traditional Chinese reader Simplified Chinese: English serves them instead.
!macro NO_SIMPLIFIED_FOR_TRADITIONAL
  ${If} $LANGUAGE = ${LANG_SIMPCHINESE}
    System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
    ${If} $0 = 0x0404
    ${OrIf} $0 = 0x0C04
    ${OrIf} $0 = 0x1404
    ${OrIf} $0 = 0x7C04
      StrCpy $LANGUAGE ${LANG_ENGLISH}
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  !insertmacro NO_SIMPLIFIED_FOR_TRADITIONAL
  Call RefuseWhileRunning
FunctionEnd

; 1 when $INSTDIR holds the installation Setup made last, which Setup then updates in place.
Var Update

; The functions below work in $R0-$R8, which nothing else here keeps values in.

; $R0: the folder in $R0 without trailing backslashes (but for a drive's root).
Function TrimFolder
  ${DoUntil} $R0 == ""
    StrCpy $R1 $R0 1 -1
    StrLen $R2 $R0
    ${If} $R1 != "\"
    ${OrIf} $R2 <= 3
      ${Break}
    ${EndIf}
    StrCpy $R0 $R0 -1
  ${Loop}
FunctionEnd

; What the folder in $R0 is to Setup, in $R3: "free" (missing or empty), "update" (the
; installation recorded in the registry, still there) or "taken" (anything else: the user's files,
; a file of that name, a copy of Kestrova that Setup did not make).
; The uninstall key names the one folder Setup last installed into; it alone could be left behind
; by a folder deleted by hand and then reused, so Setup's own two programs must be there too.
; Names alone are not enough: an unpacked release package has Kestrova.exe and README.txt as well.
Function FolderState
  StrCpy $R3 "free"
  ${IfNot} ${FileExists} "$R0\*.*"
    ${If} ${FileExists} "$R0"
      StrCpy $R3 "taken"
    ${EndIf}
    Return
  ${EndIf}
  ReadRegStr $R4 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Push $R0
  StrCpy $R0 $R4
  Call TrimFolder
  StrCpy $R4 $R0
  Pop $R0
  ${If} $R4 != ""
  ${AndIf} $R4 == $R0
  ${AndIf} ${FileExists} "$R0\Kestrova.exe"
  ${AndIf} ${FileExists} "$R0\${UNINSTALLER}"
    StrCpy $R3 "update"
    Return
  ${EndIf}
  FindFirst $R5 $R6 "$R0\*.*"
  ${DoUntil} $R6 == ""
    ${If} $R6 != "."
    ${AndIf} $R6 != ".."
      StrCpy $R3 "taken"
      ${Break}
    ${EndIf}
    FindNext $R5 $R6
  ${Loop}
  FindClose $R5
FunctionEnd

; Where Setup installs: the chosen folder when it is free or the last installation, otherwise a
; Kestrova folder inside it. Sets $INSTDIR and $Update; $R7 is "" or, when that folder is taken
; too, the folder Setup refuses.
Function ResolveInstallFolder
  StrCpy $R0 $INSTDIR
  Call TrimFolder
  Call FolderState
  ${If} $R3 == "taken"
    ${If} $R0 == ""
      StrCpy $R0 "${PRODUCT}"
    ${Else}
      StrCpy $R1 $R0 1 -1
      ${If} $R1 == "\"
        StrCpy $R0 "$R0${PRODUCT}"
      ${Else}
        StrCpy $R0 "$R0\${PRODUCT}"
      ${EndIf}
    ${EndIf}
    Call FolderState
  ${EndIf}
  StrCpy $R7 ""
  StrCpy $Update 0
  ${If} $R3 == "taken"
    StrCpy $R7 $R0
  ${Else}
    StrCpy $INSTDIR $R0
    ${If} $R3 == "update"
      StrCpy $Update 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; The page shows where Setup will install before it goes on: a changed folder stays on the page.
Function DirectoryLeave
  StrCpy $R8 $INSTDIR
  Call ResolveInstallFolder
  ${If} $R7 != ""
    StrCpy $INSTDIR $R8
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(TextTaken)"
    Abort
  ${EndIf}
  StrCpy $R0 $R8
  Call TrimFolder
  ${If} $R0 != $INSTDIR
    FindWindow $R1 "#32770" "" $HWNDPARENT
    GetDlgItem $R1 $R1 1019
    SendMessage $R1 ${WM_SETTEXT} 0 "STR:$INSTDIR"
    Abort
  ${EndIf}
FunctionEnd

; Files are written only where nothing of their name is, or over the last installation's own:
; a folder that is not that installation was free when chosen, so a file there now is another
; program's, made since.
!macro MAKE_FOLDER NAME
  CreateDirectory "$INSTDIR\${NAME}"
!macroend
!macro REFUSE_FOREIGN_FILE NAME
  ${If} $Update != 1
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    StrCpy $R9 "$INSTDIR\${NAME}"
    MessageBox MB_OK|MB_ICONSTOP "$(TextForeign)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend
!macro INSTALL_FILE NAME
  !insertmacro REFUSE_FOREIGN_FILE "${NAME}"
  File "/oname=$INSTDIR\${NAME}" "${STAGE}\${NAME}"
!macroend
!macro UNINSTALL_FILE NAME
  Delete "$INSTDIR\${NAME}"
!macroend
!macro UNINSTALL_FOLDER NAME
  RMDir "$INSTDIR\${NAME}"
!macroend

Function un.onInit
  !insertmacro NO_SIMPLIFIED_FOR_TRADITIONAL
  Call un.RefuseWhileRunning
FunctionEnd

Section "Install"
  ; Kestrova may have been started while the pages were shown.
  Call RefuseWhileRunning

  ; Silently nobody saw the directory page; after it, the folder may have changed meanwhile.
  Call ResolveInstallFolder
  ${If} $R7 != ""
    MessageBox MB_OK|MB_ICONSTOP "$(TextTakenSilent)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}

  ; Shortcuts start in the program folder.
  SetOutPath "$INSTDIR"
  !insertmacro KESTROVA_FOLDERS MAKE_FOLDER
  !insertmacro KESTROVA_FILES INSTALL_FILE
  !insertmacro REFUSE_FOREIGN_FILE "${UNINSTALLER}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Kestrova.exe" "" \
      "$INSTDIR\Kestrova.exe" 0 SW_SHOWNORMAL "" "$(TextShortcut)"
  CreateShortcut "$SENDTO\${PRODUCT}.lnk" "$INSTDIR\Kestrova.exe" "" \
      "$INSTDIR\Kestrova.exe" 0 SW_SHOWNORMAL "" "$(TextSendTo)"

  ; Explorer shows MUIVerb, the program's own string in the user's language (resource.h:
  ; IDS_SHELLVERB); the plain text is for whatever reads only the default value.
  WriteRegStr HKCU "${VERB_KEY}" "" "Convert to AVI with ${PRODUCT}"
  WriteRegStr HKCU "${VERB_KEY}" "MUIVerb" "@$INSTDIR\Kestrova.exe,-3000"
  WriteRegStr HKCU "${VERB_KEY}" "Icon" "$INSTDIR\Kestrova.exe,0"
  ; Explorer runs the command once per selected file; the switch makes those starts one list.
  ; The "Player" model offers the command for up to 100 selected files (15 otherwise).
  WriteRegStr HKCU "${VERB_KEY}" "MultiSelectModel" "Player"
  WriteRegStr HKCU "${VERB_KEY}\command" "" '"$INSTDIR\Kestrova.exe" /selection "%1"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrova.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Explorer rereads the verbs.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Only what Setup put there: a folder goes only when nothing else is left in it, and the
; program's own settings (HKCU\Software\Tamblin\Kestrova) stay for a later installation.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SENDTO\${PRODUCT}.lnk"

  DeleteRegKey HKCU "${VERB_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm\shell"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; Files by name, folders only when empty: whatever the user put in them stays.
  !insertmacro KESTROVA_FILES UNINSTALL_FILE
  Delete "$INSTDIR\${UNINSTALLER}"
  !insertmacro KESTROVA_FOLDERS_INNERMOST_FIRST UNINSTALL_FOLDER
  RMDir "$INSTDIR"
  ; The per-user programs folder is made by the first installer that needs it.
  RMDir "$LOCALAPPDATA\Programs"
  ; Where Kestrova saves its windows' lists: only when empty, so a list left by a crash, with the
  ; files it would list again, stays.
  RMDir "$LOCALAPPDATA\${PRODUCT}\Lists"
  RMDir "$LOCALAPPDATA\${PRODUCT}"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
