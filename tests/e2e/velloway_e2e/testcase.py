"""The test case bases: ProgramTestCase, what the tests of the Wine and the Linux program share (a
display for a class's tests, the program started and watched until it shows and until it ends);
VellowayTestCase (velloway.scr in a Wine prefix) and HostedTestCase (the same with preview_host at
hand); the programs ctest names; where tests leave their screenshots."""

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
from .images import ColourLike, Image, colour
from .processes import HarnessError, StartedProcess, wait_until
from .program import (CONFIG_CAPTION, CONFIG_CAPTION_RE, MAIN_CAPTION_RE, PREVIEW_HOST_ENV,
                      SAVER_SWITCH, SCR_ENV, choose_script)
from .sound import SoundCapture
from .wine import ProgramDir, WineProcess, WinePrefix

# A solid fill on a 24-bit screen: a little slack for rounding only.
FILL_TOLERANCE = 2
# VELLOWAY_DOCS_IMAGES=<directory>: tests also save the README's pictures there.
DOCS_ENV = "VELLOWAY_DOCS_IMAGES"


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


def save_docs_image(image: Image, name: str) -> None:
    """Also writes a screenshot for the README when VELLOWAY_DOCS_IMAGES names a directory."""
    directory = os.environ.get(DOCS_ENV)
    if directory:
        image.save_png(Path(directory) / name)


class ProgramTestCase(unittest.TestCase):
    """One display of SCREEN for all tests of a class (an XephyrDesktop of MONITORS when they are
    set), and the checks of a program under test that shows its main window: started, shown,
    ended."""

    SCREEN = (1920, 1080)
    MONITORS: tuple = ()
    # How long the program may take to show its window.
    WINDOW_TIMEOUT = 20
    desktop: Desktop

    @classmethod
    def setUpClass(cls) -> None:
        cls.class_resources = contextlib.ExitStack()
        cls.addClassCleanup(cls.class_resources.close)
        cls.desktop = cls.class_resources.enter_context(
            XephyrDesktop(*cls.MONITORS) if cls.MONITORS else Desktop(*cls.SCREEN))

    def artifact(self, name: str) -> Path:
        return artifacts_dir() / f"{self.id().rsplit('.', 2)[-2]}.{self._testMethodName}.{name}"

    def corners(self, inset: int = 4) -> list:
        width, height = self.SCREEN
        return [(inset, inset), (width - 1 - inset, inset), (inset, height - 1 - inset),
                (width - 1 - inset, height - 1 - inset)]

    def wait_shown(self, process: StartedProcess, background: ColourLike | None = None) -> str:
        """The main window's id once it shows, in background at its corner when that is given;
        the test fails, with a screenshot, when it does not."""
        try:
            wid = self.desktop.wait_window(MAIN_CAPTION_RE, timeout=self.WINDOW_TIMEOUT,
                                           process=process)
            if background is not None:
                self.desktop.wait_for_pixel(4, 4, background, FILL_TOLERANCE, timeout=10)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("start.png"))
            self.fail(f"{e} ({process.ending()})")
        return wid

    def assert_background(self, expected: ColourLike, name: str,
                          share: float | None = None) -> Image:
        """Waits for the background colour in the screen's corners and returns the screen, kept
        as name; with share, at least that share of it must be the background."""
        expected = colour(expected)
        try:
            for x, y in self.corners():
                self.desktop.wait_for_pixel(x, y, expected, FILL_TOLERANCE, timeout=10)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact(name))
            self.fail(f"background not {expected}: {e}")
        image = self.desktop.screenshot(self.artifact(name))
        if share is not None:
            matching, sampled = image.count_close(expected, FILL_TOLERANCE, step=16)
            self.assertGreaterEqual(matching / sampled, share,
                                    f"only {matching} of {sampled} sampled pixels are {expected}")
        return image

    def wait_exit(self, process: StartedProcess, timeout: float, what: str) -> int:
        """The exit status of a program that ends within timeout after what happened."""
        try:
            return process.wait_exit(timeout)
        except HarnessError:
            self.desktop.screenshot(self.artifact("still-running.png"))
            self.fail(f"still running {timeout:g} s after {what}")

    def assert_ends(self, process: StartedProcess, within: float = 3.0,
                    what: str = "the input") -> float:
        """The program ends in order within seconds and its windows go; returns how long it
        took."""
        started = time.monotonic()
        # An orderly end, not a crash.
        self.assertEqual(self.wait_exit(process, within, what), 0, f"exit status after {what}")
        self.desktop.wait_no_window(MAIN_CAPTION_RE, timeout=3)
        return time.monotonic() - started

    def assert_keeps_running(self, process: StartedProcess, seconds: float, what: str) -> None:
        time.sleep(seconds)
        if not process.is_running():
            self.fail(f"ended by {what} (exit status {process.returncode})")
        self.assertTrue(self.desktop.search(MAIN_CAPTION_RE), f"window gone after {what}")

    def assert_music_stopped(self, sound) -> None:
        """Nothing more is recorded: the program that played ended its music."""
        size = sound.size
        time.sleep(0.5)
        self.assertEqual(sound.size, size, "the music went on after the program ended")


class VellowayTestCase(ProgramTestCase):
    """One prefix with velloway.scr installed in C:\\Velloway for all tests of a class; each test
    starts the program with start() and it is stopped after the test. Skips when VELLOWAY_SCR is
    not set."""

    prefix: WinePrefix
    program_dir: ProgramDir
    scr_windows: str

    @classmethod
    def setUpClass(cls) -> None:
        scr = program_from_env(SCR_ENV)
        super().setUpClass()
        cls.prefix = cls.class_resources.enter_context(WinePrefix(cls.desktop))
        cls.program_dir = ProgramDir(cls.prefix)
        cls.scr_windows, _ = cls.program_dir.install(scr, "velloway.scr")

    def start(self, *args: str) -> WineProcess:
        process = self.prefix.start_program(self.scr_windows, *args)
        self.addCleanup(self.stop, process)
        return process

    def stop(self, process: WineProcess) -> None:
        process.kill()
        self.prefix.clear_windows(MAIN_CAPTION_RE)

    def set_script(self, file_name: str, content: Union[str, bytes, None],
                   encoding: str = "utf-8") -> str:
        """Chooses a script in the setting and writes it (content None: no file at all).
        Returns the script's full Windows path."""
        choose_script(self.prefix, file_name)
        if content is None:
            self.program_dir.remove(file_name)
        else:
            self.program_dir.write(file_name, content, encoding)
        return self.program_dir.windows_path(file_name)

    def start_playing(self, name: str, content: Union[str, bytes], *options: str) -> WineProcess:
        """Starts the saver full screen on a script of that name and content."""
        self.set_script(name, content)
        return self.start(SAVER_SWITCH, *options)

    def record_sound(self, name: str) -> SoundCapture:
        """What programs started from now on in this test play, recorded."""
        sound = SoundCapture(self.prefix.logs, name)
        self.addCleanup(setattr, self.prefix, "alsa_config", self.prefix.alsa_config)
        self.prefix.alsa_config = sound.config
        return sound


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

    def open_dialog(self, host: HostProgram, *args: str) -> tuple:
        """Starts the program and returns (process, dialog records) once the dialog shows; it is
        closed after the test."""
        process = self.start(*args)
        try:
            self.desktop.wait_window(CONFIG_CAPTION_RE, timeout=self.WINDOW_TIMEOUT,
                                     process=process)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("no-dialog.png"))
            self.fail(str(e))
        self.addCleanup(self.close_dialog, process)
        return process, self.activated_dialog(host)

    def close_dialog(self, process: WineProcess) -> None:
        process.kill()
        self.desktop.wait_no_window(CONFIG_CAPTION_RE, timeout=5)

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
