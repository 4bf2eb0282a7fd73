; Makes Velloway the current user's screen saver: shared by the installer's option and by
; UseVelloway.exe, the Start-menu entry's program. Needs LogicLib.nsh.

!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

; Names $INSTDIR\velloway.scr as the screen saver and turns the screen saver on.
Function MakeCurrentSaver
  ; The short form is what the Display control panel itself writes; where a volume keeps no
  ; short names the long path is returned, which works as well.
  GetFullPathName /SHORT $0 "$INSTDIR\velloway.scr"
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR\velloway.scr"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Windows keeps its own copy of "active" until told; this also tells running programs.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
FunctionEnd
