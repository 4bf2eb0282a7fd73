"""What the tests know of Velloway from outside: where the project is, the environment variables
that name the programs under test, the windows' captions, the registry keys, and script text."""

from __future__ import annotations

from pathlib import Path
from typing import Sequence, Union

REPO = Path(__file__).resolve().parents[3]

# Environment variables naming the programs (ctest sets them).
SCR_ENV = "VELLOWAY_SCR"
PREVIEW_HOST_ENV = "VELLOWAY_PREVIEW_HOST"
OTHER_PROGRAM_ENV = "VELLOWAY_OTHER_PROGRAM"

# Captions; xdotool takes a regular expression, so the _RE forms escape the "+".
MAIN_CAPTION = "MAIN -+- Velloway"
MAIN_CAPTION_RE = r"^MAIN -\+- Velloway$"
CONFIG_CAPTION = "CONFIG -+- Velloway"
CONFIG_CAPTION_RE = r"^CONFIG -\+- Velloway$"
PREVIEW_CAPTION = "Preview(Velloway)"

SETTING_KEY = r"HKCU\Software\Velloway\Setting"
UPDATE_INFO_KEY = r"HKCU\Software\Velloway\UpdateInfo"
VELLOWAY_KEY = r"HKCU\Software\Velloway"


def script_text(*lines: Union[str, Sequence[str]], newline: str = "\r\n") -> str:
    """A script from lines; a line given as a sequence is joined with tabs. Each line ends in
    CR LF."""
    return "".join(("\t".join(line) if not isinstance(line, str) else line) + newline
                   for line in lines)


def solid_script(background: str) -> str:
    """A script that shows nothing but its background for 30 s."""
    return script_text(("HEADER", "12", "2", "MID", background), ("WAIT", "30"))
