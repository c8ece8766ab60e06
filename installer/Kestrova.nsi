; Per-user installer for Kestrova: no administrator rights, everything under the user's own
; folders and HKEY_CURRENT_USER. Built by the package_installer target of the Windows build:
;   makensis -DVERSION=1.0 -DSTAGE=<folder with the release files> -DICON=<Kestrova.ico>
;            -DOUTFILE=<Kestrova-1.0-setup.exe> Kestrova.nsi
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

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION} for you alone; it needs no administrator rights.$\r$\n$\r$\nClose ${PRODUCT} if it is running.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrova.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Replacing or deleting the files of a running Kestrova would fail half-way (or, under some
; systems, succeed and leave it running from deleted files), so both directions refuse up front.
; Silently the message is skipped and the exit code (2) tells the caller.
!macro REFUSE_WHILE_RUNNING UN ACTION
  Function ${UN}RefuseWhileRunning
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is running.$\r$\n$\r$\nClose ${PRODUCT}, then ${ACTION} again." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING "" "run ${PRODUCT} Setup"
!insertmacro REFUSE_WHILE_RUNNING "un." "uninstall ${PRODUCT}"

Function .onInit
  Call RefuseWhileRunning
FunctionEnd

Function un.onInit
  Call un.RefuseWhileRunning
FunctionEnd

Section "Install"
  ; Kestrova may have been started while the pages were shown.
  Call RefuseWhileRunning

  SetOutPath "$INSTDIR"
  File "${STAGE}\Kestrova.exe"
  File "${STAGE}\ffmpeg.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\SOURCES.txt"
  SetOutPath "$INSTDIR\licenses"
  File /r "${STAGE}\licenses\*"
  ; Shortcuts start in the program folder.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Kestrova.exe" "" \
      "$INSTDIR\Kestrova.exe" 0 SW_SHOWNORMAL "" "Convert WebM videos to AVI"
  CreateShortcut "$SENDTO\${PRODUCT}.lnk" "$INSTDIR\Kestrova.exe" "" \
      "$INSTDIR\Kestrova.exe" 0 SW_SHOWNORMAL "" "Convert to AVI with ${PRODUCT}"

  WriteRegStr HKCU "${VERB_KEY}" "" "Convert to AVI with ${PRODUCT}"
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

; Only what Setup put there: the folder goes only when nothing else is left in it, and the
; program's own settings (HKCU\Software\Tamblin\Kestrova) stay for a later installation.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SENDTO\${PRODUCT}.lnk"

  DeleteRegKey HKCU "${VERB_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm\shell"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations\.webm"
  DeleteRegKey /ifempty HKCU "Software\Classes\SystemFileAssociations"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  Delete "$INSTDIR\Kestrova.exe"
  Delete "$INSTDIR\ffmpeg.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\SOURCES.txt"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The per-user programs folder is made by the first installer that needs it.
  RMDir "$LOCALAPPDATA\Programs"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
