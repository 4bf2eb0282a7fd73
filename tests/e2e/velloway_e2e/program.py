"""What the tests know of Velloway from outside: where the project is, the environment variables
that name the programs under test, the windows' captions, the switches and options the programs
take, the registry keys and value names they keep, and script text."""

from __future__ import annotations

from pathlib import Path
from typing import Sequence, Union

REPO = Path(__file__).resolve().parents[3]

# Environment variables naming the programs (ctest sets them).
SCR_ENV = "VELLOWAY_SCR"
NATIVE_ENV = "VELLOWAY_NATIVE"  # the Linux program
CHECK_ENV = "VELLOWAY_CHECK"  # velloway-check.exe
SETUP_ENV = "VELLOWAY_SETUP"  # VellowaySetup.exe
PREVIEW_HOST_ENV = "VELLOWAY_PREVIEW_HOST"
PREVIEW_RENDER_ENV = "VELLOWAY_PREVIEW_RENDER"
OTHER_PROGRAM_ENV = "VELLOWAY_OTHER_PROGRAM"
PROCESS_STATS_ENV = "VELLOWAY_PROCESS_STATS"
BARE_WINDOW_ENV = "VELLOWAY_BARE_WINDOW"
IDLE_INHIBITOR_ENV = "VELLOWAY_IDLE_INHIBITOR"  # a video player's idle inhibitor on Wayland

# Captions; xdotool takes a regular expression, so the _RE forms escape the "+".
MAIN_CAPTION = "MAIN -+- Velloway"
MAIN_CAPTION_RE = r"^MAIN -\+- Velloway$"
CONFIG_CAPTION = "CONFIG -+- Velloway"
CONFIG_CAPTION_RE = r"^CONFIG -\+- Velloway$"
COVER_CAPTION_RE = r"^COVER -\+- Velloway$"  # a monitor that shows no roll
PREVIEW_CAPTION = "Preview(Velloway)"
PREVIEW_CAPTION_RE = r"^Preview\(Velloway\)$"
WINDOW_CAPTION_RE = r"^Velloway$"  # the Linux program's ordinary window (--window)

# velloway.scr's switches, as Windows starts a screen saver.
SAVER_SWITCH = "/s"
CONFIG_SWITCH = "/c"
PREVIEW_SWITCH = "/p"  # followed by the host window's handle
PASSWORD_SWITCH = "/a"  # Windows' change-password switch: Velloway asks for none

# The Linux program's options.
SCRIPT_OPTION = "--script"
SMOOTH_OPTION = "--smooth"
CODEPAGE_OPTION = "--codepage"
WINDOW_OPTION = "--window"
WINDOW_ID_OPTION = "--window-id"
ROOT_OPTION = "--root"  # in the window the screen-saver daemon names:
DAEMON_WINDOW_ENV = "XSCREENSAVER_WINDOW"
WHEN_IDLE_OPTION = "--when-idle"  # followed by the minutes
X11_OPTION = "--x11"  # the X11 backend where the program may choose
# Set, --when-idle says which source tells idleness, and each start, on standard error.
IDLE_REPORT_ENV = "VELLOWAY_IDLE_REPORT"

# velloway-check's options: the roll's timeline as JSON, on a screen of a size.
TIMELINE_OPTIONS = ("--timeline", "--json", "--screen")

# The registry: Velloway's settings and installation record, and what Windows keeps of screen
# savers, installed programs and the DPI.
VELLOWAY_KEY = r"HKCU\Software\Velloway"
SETTING_KEY = r"HKCU\Software\Velloway\Setting"
SCRIPT_VALUE = "ScriptFileName"
SMOOTH_VALUE = "SmoothMotion"
EVERY_MONITOR_VALUE = "EveryMonitor"
UPDATE_INFO_KEY = r"HKCU\Software\Velloway\UpdateInfo"
APPLICATION_PATH_VALUE = "ApplicationPath"
CURRENT_VERSION_VALUE = "CurrentVersion"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SCREEN_SAVER_VALUE = "SCRNSAVE.EXE"
SCREEN_SAVE_ACTIVE_VALUE = "ScreenSaveActive"
DPI_VALUE = "LogPixels"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloway"
DISPLAY_NAME_VALUE = "DisplayName"
DISPLAY_VERSION_VALUE = "DisplayVersion"
INSTALL_LOCATION_VALUE = "InstallLocation"
UNINSTALL_STRING_VALUE = "UninstallString"
QUIET_UNINSTALL_STRING_VALUE = "QuietUninstallString"


def choose_script(prefix, name) -> None:
    """Stores the script the saver plays, in a WinePrefix (any type of value: a test may store a
    hostile one)."""
    prefix.reg_set(SETTING_KEY, SCRIPT_VALUE, name)


def script_text(*lines: Union[str, Sequence[str]], newline: str = "\r\n") -> str:
    """A script from lines; a line given as a sequence is joined with tabs. Each line ends in
    CR LF."""
    return "".join(("\t".join(line) if not isinstance(line, str) else line) + newline
                   for line in lines)


def solid_script(background: str) -> str:
    """A script that shows nothing but its background for 30 s."""
    return script_text(("HEADER", "12", "2", "MID", background), ("WAIT", "30"))
