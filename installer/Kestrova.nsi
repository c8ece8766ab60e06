; Per-user installer for Kestrova: no administrator rights, everything under the user's own
; folders and HKEY_CURRENT_USER. Built by the package_installer target of the Windows build:
;   makensis -DVERSION=<version> -DFILE_VERSION=<the version in four parts, 1.0.0.0>
;            -DSTAGE=<folder with the release files> -DICON=<Kestrova.ico>
;            -DOUTFILE=<Kestrova-<version>-setup.exe> [-DSIGN=<installer/sign.sh>] Kestrova.nsi
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
; Setup's own name for the backup of an installation it updates, inside that installation.
!define BACKUP "Kestrova.update-backup"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

; The release's files, listed from STAGE with their hashes: Setup writes these, and the
; uninstaller deletes these, by name, when each is still the file Setup wrote, and nothing else.
!tempfile FILE_LIST
!system '"${__FILEDIR__}/file-list.sh" "${STAGE}" "${FILE_LIST}"' = 0
!include "${FILE_LIST}"
!delfile "${FILE_LIST}"

; A signed release (tools/sign-release.sh): the uninstaller is signed before Setup packs it, and
; Setup itself once it is written.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"
; A file Setup cannot write ends the installation, which then takes back what it wrote: a skipped
; file would leave a new Kestrova.exe beside an old converter.
AllowSkipFiles off

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

; 1 when $INSTDIR holds the registered installation, which Setup then updates in place.
Var Update
; The registered installation's folder (long form), "" when none is there.
Var Registered
; 1 when the user chose to update the registered installation: the directory page is skipped.
Var KeepFolder
; The Kestrova.exe found running from a folder Setup or the uninstaller is about to change.
Var Running
; 1 when Setup made $INSTDIR, so that taking back a failed installation removes it too.
Var MadeFolder

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!include "${__FILEDIR__}/Languages.nsh"

; The functions below work in $R0-$R8 and $0-$9, which nothing else here keeps values in across
; their calls; $R9 names a file for the texts.
!macro SHARED_FUNCTIONS UN
; $R0: the folder in $R0 without trailing backslashes (but for a drive's root).
Function ${UN}TrimFolder
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

; $R0: the path in $R0 in its long form (8.3 names expanded), trimmed; unchanged when it does not
; exist. Two spellings of one folder then compare equal (comparisons here ignore case).
Function ${UN}LongPath
  Call ${UN}TrimFolder
  System::Call 'kernel32::GetLongPathNameW(w R0, w .R1, i ${NSIS_MAX_STRLEN}) i .R2'
  ${If} $R2 > 0
  ${AndIf} $R2 < ${NSIS_MAX_STRLEN}
    StrCpy $R0 $R1
  ${EndIf}
FunctionEnd

; $Running: the path of a Kestrova.exe running from the folder $R0 (long form), "" when none.
; Only this folder's program counts: an unpacked copy running elsewhere uses other files.
; A process whose image cannot be read (another account's) is not this user's installation's.
Function ${UN}FindRunning
  StrCpy $Running ""
  System::Alloc 32768
  Pop $0
  System::Call 'kernel32::K32EnumProcesses(p r0, i 32768, *i .r1) i .r2'
  ${If} $2 <> 0
    IntOp $1 $1 / 4
    StrCpy $3 0
    ${DoWhile} $3 < $1
      IntOp $4 $3 * 4
      IntPtrOp $4 $0 + $4
      System::Call '*$4(i .r5)'
      ; PROCESS_QUERY_LIMITED_INFORMATION, which a user has on their own elevated processes too.
      System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r5) p .r6'
      ${If} $6 P<> 0
        System::Call 'kernel32::QueryFullProcessImageNameW(p r6, i 0, w .r7, *i ${NSIS_MAX_STRLEN}) i .r8'
        System::Call 'kernel32::CloseHandle(p r6)'
        ${If} $8 <> 0
          Push $R0
          StrCpy $R0 $7
          Call ${UN}LongPath
          StrCpy $7 $R0
          Pop $R0
          ${If} $7 == "$R0\Kestrova.exe"
            StrCpy $Running $7
            ${Break}
          ${EndIf}
        ${EndIf}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}
  System::Free $0
FunctionEnd

; $R1: the program the shortcut $R0 starts (long form), "" when it cannot be read.
Function ${UN}LinkTarget
  StrCpy $R1 ""
  ; CLSID_ShellLink, IID_IShellLinkW
  System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, \
      g "{000214F9-0000-0000-C000-000000000046}", *p .r1) i .r0'
  ${If} $0 = 0
    ; IID_IPersistFile; Load is its method 5, IShellLinkW::GetPath method 3.
    System::Call '$1->0(g "{0000010B-0000-0000-C000-000000000046}", *p .r2) i .r0'
    ${If} $0 = 0
      System::Call '$2->5(w R0, i 0) i .r0'
      ${If} $0 = 0
        ; SLGP_RAWPATH: the path as stored, without resolving a moved target.
        System::Call '$1->3(w .r3, i ${NSIS_MAX_STRLEN}, p 0, i 4) i .r0'
        ${If} $0 = 0
          Push $R0
          StrCpy $R0 $3
          Call ${UN}LongPath
          StrCpy $R1 $R0
          Pop $R0
        ${EndIf}
      ${EndIf}
      System::Call '$2->2()'
    ${EndIf}
    System::Call '$1->2()'
  ${EndIf}
FunctionEnd

; $Registered: the registered installation's folder, when it is there with its programs.
Function ${UN}ReadRegistered
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Call ${UN}LongPath
  StrCpy $Registered ""
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\Kestrova.exe"
  ${AndIf} ${FileExists} "$R0\${UNINSTALLER}"
    StrCpy $Registered $R0
  ${EndIf}
FunctionEnd

; NSIS takes the display language's primary language when it lacks the exact one, which would give
; a Traditional Chinese reader Simplified Chinese: English serves them instead.
Function ${UN}NoSimplifiedForTraditional
  ${If} $LANGUAGE = ${LANG_SIMPCHINESE}
    System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
    ${If} $0 = 0x0404
    ${OrIf} $0 = 0x0C04
    ${OrIf} $0 = 0x1404
    ${OrIf} $0 = 0x7C04
      StrCpy $LANGUAGE ${LANG_ENGLISH}
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; Replacing or deleting the files of a running Kestrova would fail half-way (or, under some
; systems, succeed and leave it running from deleted files), so both directions refuse up front,
; naming the program to close. Silently the message is skipped and the exit code (2) tells the
; caller.
!macro REFUSE_WHILE_RUNNING UN TEXT FOLDER
  StrCpy $R0 "${FOLDER}"
  ${If} $R0 != ""
    Call ${UN}LongPath
    Call ${UN}FindRunning
    ${If} $Running != ""
      MessageBox MB_OK|MB_ICONSTOP "${TEXT}$\r$\n$\r$\n$(TextRunningWhich)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
!macroend

; Setup changes the folder it installs into and, when it moves the installation, the registered one.
Function RefuseWhileRunning
  !insertmacro REFUSE_WHILE_RUNNING "" "$(TextRunningSetup)" "$INSTDIR"
  !insertmacro REFUSE_WHILE_RUNNING "" "$(TextRunningSetup)" "$Registered"
FunctionEnd

Function .onInit
  Call NoSimplifiedForTraditional
  Call ReadRegistered
  Call RefuseWhileRunning
  ; One installation per user: the registered one is updated where it is, unless the user
  ; chooses another folder, where Setup moves it.
  StrCpy $KeepFolder 0
  ${If} $Registered != ""
  ${AndIfNot} ${Silent}
    MessageBox MB_YESNOCANCEL|MB_ICONQUESTION "$(TextOfferUpdate)" IDYES update IDNO choose
    Quit
    update:
      StrCpy $INSTDIR $Registered
      StrCpy $KeepFolder 1
    choose:
  ${EndIf}
FunctionEnd

Function DirectoryPre
  ${If} $KeepFolder = 1
    Abort
  ${EndIf}
FunctionEnd

; What the folder in $R0 is to Setup, in $R3: "free" (missing or empty), "update" (the
; registered installation) or "taken" (anything else: the user's files, a file of that name, a
; copy of Kestrova that Setup did not make).
; Names alone are not enough: an unpacked release package has Kestrova.exe and README.txt as well.
Function FolderState
  StrCpy $R3 "free"
  ${IfNot} ${FileExists} "$R0\*.*"
    ${If} ${FileExists} "$R0"
      StrCpy $R3 "taken"
    ${EndIf}
    Return
  ${EndIf}
  Call LongPath
  ${If} $Registered != ""
  ${AndIf} $Registered == $R0
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

; Where Setup installs: the chosen folder when it is free or the registered installation,
; otherwise a Kestrova folder inside it. Sets $INSTDIR and $Update; $R7 is "" or, when that folder
; is taken too, the folder Setup refuses.
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
  ${AndIf} $Update != 1
    FindWindow $R1 "#32770" "" $HWNDPARENT
    GetDlgItem $R1 $R1 1019
    SendMessage $R1 ${WM_SETTEXT} 0 "STR:$INSTDIR"
    Abort
  ${EndIf}
FunctionEnd

; All or nothing. Every name is checked, and an update's files are moved aside into
; ${BACKUP} (a rename in the same folder, which fails on a file held open), before the first file
; is written. Whatever fails after that takes back what this run wrote and puts the moved files
; back; success deletes the moved files.
!macro REFUSE_FOREIGN_FILE NAME
  ${If} $Update != 1
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    StrCpy $R9 "$INSTDIR\${NAME}"
    MessageBox MB_OK|MB_ICONSTOP "$(TextForeign)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend
!macro CHECK_FILE NAME HASH
  !insertmacro REFUSE_FOREIGN_FILE "${NAME}"
!macroend
; A release folder's name taken by a file would fail the writes into it.
!macro CHECK_FOLDER NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${NAME}\*.*"
    StrCpy $R9 "$INSTDIR\${NAME}"
    MessageBox MB_OK|MB_ICONSTOP "$(TextForeign)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend
!macro MAKE_BACKUP_FOLDER NAME
  CreateDirectory "$INSTDIR\${BACKUP}\${NAME}"
!macroend
!macro MOVE_ASIDE NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
  ${AndIf} $R9 == ""
    ClearErrors
    Rename "$INSTDIR\${NAME}" "$INSTDIR\${BACKUP}\${NAME}"
    ${If} ${Errors}
      StrCpy $R9 "$INSTDIR\${NAME}"
    ${EndIf}
  ${EndIf}
!macroend
!macro MOVE_FILE_ASIDE NAME HASH
  !insertmacro MOVE_ASIDE "${NAME}"
!macroend
!macro MAKE_FOLDER NAME
  CreateDirectory "$INSTDIR\${NAME}"
!macroend
!macro INSTALL_FILE NAME HASH
  File "/oname=$INSTDIR\${NAME}" "${STAGE}\${NAME}"
!macroend
!macro MOVE_BACK NAME
  ${If} ${FileExists} "$INSTDIR\${BACKUP}\${NAME}"
    Rename "$INSTDIR\${BACKUP}\${NAME}" "$INSTDIR\${NAME}"
  ${EndIf}
!macroend
!macro MOVE_FILE_BACK NAME HASH
  !insertmacro MOVE_BACK "${NAME}"
!macroend
; Once the folder is prepared, every release name in it was written by this run.
!macro TAKE_BACK NAME
  Delete "$INSTDIR\${NAME}"
  ${If} ${FileExists} "$INSTDIR\${BACKUP}\${NAME}"
    Rename "$INSTDIR\${BACKUP}\${NAME}" "$INSTDIR\${NAME}"
  ${EndIf}
!macroend
!macro TAKE_BACK_FILE NAME HASH
  !insertmacro TAKE_BACK "${NAME}"
!macroend
!macro DROP_BACKUP NAME
  Delete "$INSTDIR\${BACKUP}\${NAME}"
!macroend
!macro DROP_BACKUP_FILE NAME HASH
  !insertmacro DROP_BACKUP "${NAME}"
!macroend
!macro REMOVE_FOLDER NAME
  RMDir "$INSTDIR\${NAME}"
!macroend
!macro REMOVE_BACKUP_FOLDER NAME
  RMDir "$INSTDIR\${BACKUP}\${NAME}"
!macroend

; Release's names free and the update's files moved aside, or nothing changed and Setup ends.
Function PrepareFolder
  !insertmacro KESTROVA_FOLDERS CHECK_FOLDER
  !insertmacro KESTROVA_FILES CHECK_FILE
  !insertmacro REFUSE_FOREIGN_FILE "${UNINSTALLER}"
  ; A backup left by a Setup that did not end is not taken for this one's.
  !insertmacro REFUSE_FOREIGN_FILE "${BACKUP}"
  ${If} ${FileExists} "$INSTDIR\${BACKUP}"
    StrCpy $R9 "$INSTDIR\${BACKUP}"
    MessageBox MB_OK|MB_ICONSTOP "$(TextForeign)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $MadeFolder 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $MadeFolder 1
  ${EndIf}
  CreateDirectory "$INSTDIR"
  StrCpy $R9 ""
  ${If} $Update = 1
    CreateDirectory "$INSTDIR\${BACKUP}"
    !insertmacro KESTROVA_FOLDERS MAKE_BACKUP_FOLDER
    !insertmacro KESTROVA_FILES MOVE_FILE_ASIDE
    !insertmacro MOVE_ASIDE "${UNINSTALLER}"
    ${If} $R9 != ""
      ; Nothing is written yet: the moved files go back, the rest was never touched.
      !insertmacro KESTROVA_FILES MOVE_FILE_BACK
      !insertmacro MOVE_BACK "${UNINSTALLER}"
      !insertmacro KESTROVA_FOLDERS_INNERMOST_FIRST REMOVE_BACKUP_FOLDER
      RMDir "$INSTDIR\${BACKUP}"
      MessageBox MB_OK|MB_ICONSTOP "$(TextWriteFailed)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; Undoes this run once it has written: its files go, the moved ones come back, the folders it made go when empty.
Function TakeBack
  !insertmacro KESTROVA_FILES TAKE_BACK_FILE
  !insertmacro TAKE_BACK "${UNINSTALLER}"
  !insertmacro KESTROVA_FOLDERS_INNERMOST_FIRST REMOVE_BACKUP_FOLDER
  RMDir "$INSTDIR\${BACKUP}"
  ${If} $Update != 1
    !insertmacro KESTROVA_FOLDERS_INNERMOST_FIRST REMOVE_FOLDER
  ${EndIf}
  ${If} $MadeFolder = 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Function DropBackup
  !insertmacro KESTROVA_FILES DROP_BACKUP_FILE
  !insertmacro DROP_BACKUP "${UNINSTALLER}"
  !insertmacro KESTROVA_FOLDERS_INNERMOST_FIRST REMOVE_BACKUP_FOLDER
  RMDir "$INSTDIR\${BACKUP}"
FunctionEnd

; NSIS has shown its own message about the file it could not write (Abort), or the user cancelled.
Var Writing
Function .onInstFailed
  ${If} $Writing = 1
    Call TakeBack
    StrCpy $R9 "$INSTDIR"
    MessageBox MB_OK|MB_ICONSTOP "$(TextWriteFailed)" /SD IDOK
  ${EndIf}
  SetErrorLevel 2
FunctionEnd

; A shortcut is made where its name is free or it already starts this installation's program:
; a Kestrova.lnk of the user's, pointing elsewhere, stays as it is.
!macro MAKE_SHORTCUT LINK DESCRIPTION
  StrCpy $R0 "${LINK}"
  Call LinkTarget
  ${IfNot} ${FileExists} "${LINK}"
  ${OrIf} $R1 == "$INSTDIR\Kestrova.exe"
    CreateShortcut "${LINK}" "$INSTDIR\Kestrova.exe" "" "$INSTDIR\Kestrova.exe" 0 SW_SHOWNORMAL \
        "" "${DESCRIPTION}"
  ${EndIf}
!macroend

Section "Install"
  ; Kestrova may have been started while the pages were shown.
  Call ReadRegistered
  Call RefuseWhileRunning

  ; Silently nobody saw the directory page; after it, the folder may have changed meanwhile.
  Call ResolveInstallFolder
  ${If} $R7 != ""
    MessageBox MB_OK|MB_ICONSTOP "$(TextTakenSilent)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  Call RefuseWhileRunning

  Call PrepareFolder
  StrCpy $Writing 1
  ; Shortcuts start in the program folder.
  SetOutPath "$INSTDIR"
  !insertmacro KESTROVA_FOLDERS MAKE_FOLDER
  !insertmacro KESTROVA_FILES INSTALL_FILE
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Abort
  ${EndIf}
  ; The registration names the folder in its long form, as the uninstaller compares it.
  StrCpy $R0 $INSTDIR
  Call LongPath
  StrCpy $INSTDIR $R0

  ; Installed elsewhere than the registered installation: that one is uninstalled by its own
  ; uninstaller (which leaves whatever is not its own), or this installation is taken back.
  ${If} $Registered != ""
  ${AndIf} $Update != 1
    ClearErrors
    ExecWait '"$Registered\${UNINSTALLER}" /S _?=$Registered' $0
    ${If} ${Errors}
    ${OrIf} $0 <> 0
      StrCpy $Writing 0
      Call TakeBack
      MessageBox MB_OK|MB_ICONSTOP "$(TextMoveFailed)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    ; Run in place, the uninstaller could not delete itself.
    Delete "$Registered\${UNINSTALLER}"
    RMDir "$Registered"
  ${EndIf}
  StrCpy $Writing 0
  Call DropBackup

  !insertmacro MAKE_SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk" "$(TextShortcut)"
  !insertmacro MAKE_SHORTCUT "$SENDTO\${PRODUCT}.lnk" "$(TextSendTo)"

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

; ---- The uninstaller ---------------------------------------------------------------------------

; $R1: the SHA-256 of the file $R0 in lower-case hex, "" when it cannot be read.
Function un.Sha256
  StrCpy $R1 ""
  ; PROV_RSA_AES, CRYPT_VERIFYCONTEXT; CALG_SHA_256.
  System::Call 'advapi32::CryptAcquireContextW(*p .r0, p 0, p 0, i 24, i 0xF0000000) i .r1'
  ${If} $1 = 0
    Return
  ${EndIf}
  System::Call 'advapi32::CryptCreateHash(p r0, i 0x800C, p 0, i 0, *p .r2) i .r1'
  ; GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING.
  System::Call 'kernel32::CreateFileW(w R0, i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r3'
  ${If} $1 <> 0
  ${AndIf} $3 P<> -1
    System::Alloc 1048576
    Pop $4
    StrCpy $6 1
    ${Do}
      System::Call 'kernel32::ReadFile(p r3, p r4, i 1048576, *i .r5, p 0) i .r1'
      ${If} $1 = 0
        StrCpy $6 0
        ${Break}
      ${EndIf}
      ${If} $5 = 0
        ${Break}
      ${EndIf}
      System::Call 'advapi32::CryptHashData(p r2, p r4, i r5, i 0) i .r1'
      ${If} $1 = 0
        StrCpy $6 0
        ${Break}
      ${EndIf}
    ${Loop}
    ; HP_HASHVAL
    System::Call 'advapi32::CryptGetHashParam(p r2, i 2, p r4, *i 32, i 0) i .r1'
    ${If} $6 = 1
    ${AndIf} $1 <> 0
      ${For} $5 0 31
        IntPtrOp $7 $4 + $5
        System::Call '*$7(&i1 .r8)'
        IntOp $8 $8 & 0xFF
        IntFmt $8 "%02x" $8
        StrCpy $R1 "$R1$8"
      ${Next}
    ${EndIf}
    System::Free $4
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  System::Call 'advapi32::CryptDestroyHash(p r2)'
  System::Call 'advapi32::CryptReleaseContext(p r0, i 0)'
FunctionEnd

; A release file goes only while it is still the file Setup wrote.
!macro UNINSTALL_FILE NAME HASH
  StrCpy $R0 "$INSTDIR\${NAME}"
  Call un.Sha256
  ${If} $R1 == "${HASH}"
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
!macroend
!macro UNINSTALL_FOLDER NAME
  RMDir "$INSTDIR\${NAME}"
!macroend

; A shortcut goes only when it starts a program of this installation.
!macro REMOVE_SHORTCUT LINK
  StrCpy $R0 "${LINK}"
  Call un.LinkTarget
  StrLen $R2 "$INSTDIR\"
  StrCpy $R3 $R1 $R2
  ${If} $R3 == "$INSTDIR\"
    Delete "${LINK}"
  ${EndIf}
!macroend

; The uninstaller works only on the registered installation, in its own folder: a copy of it
; elsewhere (say, beside an unpacked package whose files have the release's names) changes
; nothing, there or in the registration.
Function un.onInit
  Call un.NoSimplifiedForTraditional
  StrCpy $R0 $INSTDIR
  Call un.LongPath
  StrCpy $INSTDIR $R0
  Call un.ReadRegistered
  ${If} $Registered != $INSTDIR
  ${OrIfNot} ${FileExists} "$INSTDIR\Kestrova.exe"
    MessageBox MB_OK|MB_ICONSTOP "$(TextNotRegistered)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  !insertmacro REFUSE_WHILE_RUNNING "un." "$(TextRunningUninstall)" "$INSTDIR"
FunctionEnd

; Only what Setup put there: a folder goes only when nothing else is left in it, and the
; program's own settings (HKCU\Software\Tamblin\Kestrova) stay for a later installation.
Section "Uninstall"
  !insertmacro REMOVE_SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
  !insertmacro REMOVE_SHORTCUT "$SENDTO\${PRODUCT}.lnk"

  ; The verb goes when it runs this installation's program; the uninstall key names this folder
  ; (un.onInit) and goes at the end.
  ReadRegStr $R1 HKCU "${VERB_KEY}\command" ""
  StrLen $R2 '"$INSTDIR\'
  StrCpy $R3 $R1 $R2
  ${If} $R3 == '"$INSTDIR\'
    DeleteRegKey HKCU "${VERB_KEY}"
  ${EndIf}
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm\shell"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations"

  ; Files by name and hash, folders only when empty: whatever the user put in them stays.
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

  ; The entry goes last: an uninstaller stopped half-way can be run again from it, and whoever
  ; waits for the entry to go knows the files are done.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
