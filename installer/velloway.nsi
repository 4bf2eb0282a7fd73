; VellowaySetup.exe: installs Velloway for the current user alone, without administrator rights.
;
; Made by the build (installer/CMakeLists.txt), which passes:
;   VERSION        the project version, e.g. 1.0.1000
;   OUTFILE        where VellowaySetup.exe goes
;   VELLOWAY_SCR   the built velloway.scr
;   VELLOWAY_CHECK the built script checker velloway-check.exe
;   USE_VELLOWAY   the built UseVelloway.exe (use-velloway.nsi)
;   CHIME_WAV      the generated sound of the sample scripts
;   SAMPLE_LIST    a generated .nsh naming each sample script (install and removal by name)
;   SOURCE_DIR     the repository, for the documentation and the icon

!ifndef VERSION | OUTFILE | VELLOWAY_SCR | VELLOWAY_CHECK | USE_VELLOWAY | CHIME_WAV | SAMPLE_LIST | SOURCE_DIR
  !error "run through the build: VERSION, OUTFILE, VELLOWAY_SCR, VELLOWAY_CHECK, USE_VELLOWAY, CHIME_WAV, SAMPLE_LIST and SOURCE_DIR must be defined"
!endif

; 64-bit: a 32-bit installer does nothing under a 64-bit-only Wine (no wine32), where it is tested.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include "${SAMPLE_LIST}"
!include "${SOURCE_DIR}/installer/current_saver.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloway"
!define SETTINGS_KEY "Software\Velloway"
!define SHORTCUT "$SMPROGRAMS\Velloway settings.lnk"
!define USE_SHORTCUT "$SMPROGRAMS\Use Velloway as screen saver.lnk"

Name "Velloway"
OutFile "${OUTFILE}"
; Per user: the files under the user's local programs folder, the registry under HKCU.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Velloway"
; Installing again goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ManifestDPIAware true
BrandingText "Velloway ${VERSION}"

!define MUI_ICON "${SOURCE_DIR}/src/programs/windows/resources/velloway.ico"
!define MUI_UNICON "${SOURCE_DIR}/src/programs/windows/resources/velloway.ico"
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\velloway.scr"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "Choose a roll script now"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Windows' version resource wants four numbers.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Velloway"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Velloway setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "The Velloway authors"

Section "Velloway" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=velloway.scr" "${VELLOWAY_SCR}"
  File "/oname=velloway-check.exe" "${VELLOWAY_CHECK}"
  File "/oname=UseVelloway.exe" "${USE_VELLOWAY}"
  File "/oname=chime.wav" "${CHIME_WAV}"
  !insertmacro VELLOWAY_INSTALL_SAMPLES
  File "/oname=README.md" "${SOURCE_DIR}/README.md"
  SetOutPath "$INSTDIR\docs"
  File "/oname=script-format.md" "${SOURCE_DIR}/docs/script-format.md"

  ; The shortcut's working folder is $OUTDIR: the program's own.
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\velloway.scr" "/c" "$INSTDIR\velloway.scr" 0 \
    SW_SHOWNORMAL "" "Choose the roll script Velloway plays"
  ; Windows cannot pick a per-user screen saver again once another was chosen; this entry can.
  CreateShortcut "${USE_SHORTCUT}" "$INSTDIR\UseVelloway.exe" "" "$INSTDIR\velloway.scr" 0 \
    SW_SHOWNORMAL "" "Make Velloway your screen saver again"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Velloway"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velloway.scr,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Velloway the current screen saver" SecCurrent
  Call MakeCurrentSaver
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The screen saver, its sample scripts and sound, how to write scripts, and the script checker."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecCurrent} "Choose Velloway in the screen saver settings and turn the screen saver on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  ; Before the file goes: its short name can only be read while it exists.
  Call un.ResetScreenSaverIfOurs

  ; By name only, so that scripts the user added stay, and with them the folder.
  Delete "$INSTDIR\velloway.scr"
  Delete "$INSTDIR\velloway-check.exe"
  Delete "$INSTDIR\UseVelloway.exe"
  Delete "$INSTDIR\chime.wav"
  !insertmacro VELLOWAY_REMOVE_SAMPLES
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\docs\script-format.md"
  RMDir "$INSTDIR\docs"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"
  Delete "${USE_SHORTCUT}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Removes the screen saver choice when it names our velloway.scr, in long or short form;
; another screen saver the user chose since stays chosen.
Function un.ResetScreenSaverIfOurs
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == ""
    Return
  ${EndIf}
  StrCpy $1 "$INSTDIR\velloway.scr"
  GetFullPathName /SHORT $2 $1
  GetFullPathName /SHORT $3 $0
  ; Empty when the chosen file is gone: then only its text can match.
  ${If} $3 == ""
    StrCpy $3 $0
  ${EndIf}
  ; StrCmp, behind ==, ignores letter case, as Windows paths do.
  ${If} $0 == $1
  ${OrIf} $3 == $2
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
FunctionEnd
