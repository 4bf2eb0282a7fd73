"""The test case bases: VellowayTestCase (a display and a prefix with velloway.scr installed,
shared by a class's tests) and HostedTestCase (the same with preview_host at hand); the programs
ctest names; where tests leave their screenshots."""

from __future__ import annotations

import contextlib
import os
import tempfile
import time
import unittest
from pathlib import Path
from typing import Union

from .display import Desktop, XephyrDesktop
from .helper_programs import HostProgram, Record
from .images import Image, colour
from .processes import HarnessError, wait_until
from .program import CONFIG_CAPTION, MAIN_CAPTION_RE, PREVIEW_HOST_ENV, SCR_ENV, SETTING_KEY
from .wine import ProgramDir, WineProcess, WinePrefix

# A solid fill on a 24-bit screen: a little slack for rounding only.
FILL_TOLERANCE = 2


def program_from_env(name: str) -> Path:
    """The program an environment variable names; skips the test class when it is not set."""
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(f"{name} is not set (ctest sets it)")
    path = Path(value)
    if not path.is_file():
        raise HarnessError(f"{name}={path} does not exist")
    return path


def artifacts_dir() -> Path:
    """Where tests leave screenshots (VELLOWAY_E2E_ARTIFACTS, else /tmp/velloway-e2e-artifacts)."""
    path = Path(os.environ.get("VELLOWAY_E2E_ARTIFACTS")
                or Path(tempfile.gettempdir()) / "velloway-e2e-artifacts")
    path.mkdir(parents=True, exist_ok=True)
    return path


class VellowayTestCase(unittest.TestCase):
    """One display and one prefix with velloway.scr installed in C:\\Velloway for all tests of
    a class; each test starts the program with start() and it is stopped after the test.
    Skips when VELLOWAY_SCR is not set."""

    SCREEN = (1920, 1080)
    # When set, an XephyrDesktop of these monitors instead of Xvfb's one SCREEN.
    MONITORS: tuple = ()
    desktop: Desktop
    prefix: WinePrefix
    program_dir: ProgramDir
    scr_windows: str

    @classmethod
    def setUpClass(cls) -> None:
        scr = program_from_env(SCR_ENV)
        stack = contextlib.ExitStack()
        cls.addClassCleanup(stack.close)
        cls.desktop = stack.enter_context(
            XephyrDesktop(*cls.MONITORS) if cls.MONITORS else Desktop(*cls.SCREEN))
        cls.prefix = stack.enter_context(WinePrefix(cls.desktop))
        cls.program_dir = ProgramDir(cls.prefix)
        cls.scr_windows, _ = cls.program_dir.install(scr, "velloway.scr")

    def start(self, *args: str) -> WineProcess:
        process = self.prefix.start_program(self.scr_windows, *args)
        self.addCleanup(self.stop, process)
        return process

    def stop(self, process: WineProcess) -> None:
        process.kill()
        try:
            self.desktop.wait_no_window(MAIN_CAPTION_RE, timeout=5)
        except HarnessError:  # a window left behind: take the whole prefix down
            self.prefix.kill_all()
            self.prefix.restart_server()

    def artifact(self, name: str) -> Path:
        return artifacts_dir() / f"{self.id().rsplit('.', 2)[-2]}.{self._testMethodName}.{name}"

    def set_script(self, file_name: str, content: Union[str, bytes, None],
                   encoding: str = "utf-8") -> str:
        """Chooses a script in the setting and writes it (content None: no file at all).
        Returns the script's full Windows path."""
        self.prefix.reg_set(SETTING_KEY, "ScriptFileName", file_name)
        if content is None:
            self.program_dir.remove(file_name)
        else:
            self.program_dir.write(file_name, content, encoding)
        return self.program_dir.windows_path(file_name)


class HostedTestCase(VellowayTestCase):
    """A VellowayTestCase with the host program at hand (started afresh by each test)."""

    SCREEN = (1280, 720)
    host_program: Path

    @classmethod
    def setUpClass(cls) -> None:
        cls.host_program = program_from_env(PREVIEW_HOST_ENV)
        super().setUpClass()

    def start_host(self) -> HostProgram:
        host = HostProgram(self.prefix, self.host_program)
        self.addCleanup(host.close)
        return host

    def wait_exit(self, process, timeout: float, what: str) -> int:
        try:
            return process.wait_exit(timeout)
        except HarnessError:
            self.desktop.screenshot(self.artifact("still-running.png"))
            self.fail(f"{what}: the program is still running after {timeout:g} s")

    def activated_dialog(self, host: HostProgram) -> list[Record]:
        """The settings dialog's records once Wine has activated it, or as they are after 5 s.
        Wine activates a new top-level window when the X server's focus event arrives, which may
        be a moment after the window maps; until then no control has the focus and keys go
        nowhere."""
        records = [host.window(CONFIG_CAPTION)]

        def activated():
            records[0] = host.window(CONFIG_CAPTION)
            return bool(records[0]) and records[0][0]["focus"] != "0"
        with contextlib.suppress(HarnessError):
            wait_until(activated, 5, what="the dialog to be activated")
        return records[0]

    def wait_settled(self, region, timeout: float = 5, span: float = 0.3) -> Image:
        """The region once it has not changed for span seconds."""
        deadline = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while time.monotonic() < deadline:
            image = self.desktop.capture(region)
            if last is None or image.rgb != last.rgb:
                last, since = image, time.monotonic()
            elif time.monotonic() - since >= span:
                return image
            time.sleep(0.05)
        return last

    def assert_saver_background(self, expected, name):
        width, height = self.SCREEN
        expected = colour(expected)
        try:
            for x, y in [(4, 4), (width - 5, 4), (4, height - 5), (width - 5, height - 5)]:
                self.desktop.wait_for_pixel(x, y, expected, FILL_TOLERANCE, timeout=10)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact(name))
            self.fail(f"saver background not {expected}: {e}")
