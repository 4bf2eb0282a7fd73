; UseVelloway.exe: makes the Velloway installed beside it the current user's screen saver again.
; Windows drops a per-user screen saver from its own list once another is chosen, and offers no
; way back; the Start-menu entry "Use Velloway as screen saver" runs this program. It shows
; nothing and does what the installer's option "Make Velloway the current screen saver" does.
;
; Made by the build (installer/CMakeLists.txt), which passes:
;   VERSION        the project version, e.g. 1.0.1000
;   OUTFILE        where UseVelloway.exe goes
;   SOURCE_DIR     the repository, for the icon

!ifndef VERSION | OUTFILE | SOURCE_DIR
  !error "run through the build: VERSION, OUTFILE and SOURCE_DIR must be defined"
!endif

; 64-bit, as the installer: a 32-bit program does nothing under a 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
SilentInstall silent

!include LogicLib.nsh
!include "${SOURCE_DIR}/installer/current_saver.nsh"

Name "Velloway"
OutFile "${OUTFILE}"
Icon "${SOURCE_DIR}/src/programs/windows/resources/velloway.ico"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Velloway"
VIAddVersionKey /LANG=0 "FileDescription" "Use Velloway as screen saver"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "The Velloway authors"

Function .onInit
  StrCpy $INSTDIR $EXEDIR
FunctionEnd

Section
  ; Left alone when the saver is not there: a screen saver that cannot start is no choice.
  ${IfNot} ${FileExists} "$INSTDIR\velloway.scr"
    SetErrorLevel 2
    Quit
  ${EndIf}
  Call MakeCurrentSaver
SectionEnd
