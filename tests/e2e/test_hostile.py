"""Hostile input: given scripts and stored settings that are broken, huge or not text at all, the
real saver still shows its window, keeps running without crashing, hanging or growing without
bound, and ends on a key press; the settings dialog opens on the same stored values.

Run: VELLOWAY_SCR=.../velloway.scr VELLOWAY_PREVIEW_HOST=.../preview_host.exe \
     VELLOWAY_BARE_WINDOW=.../bare_window.exe
     python3 -m unittest -v test_hostile
(each class is skipped when a program it needs is not named; ctest names them)."""

import os
import random
import struct
import time
import unittest
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Union

from velloway_e2e.helper_programs import BARE_WINDOW_CAPTION_RE, list_entries
from velloway_e2e.images import BLACK, colour_close, is_whiteish
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import (BARE_WINDOW_ENV, CONFIG_SWITCH, MAIN_CAPTION_RE, REPO,
                                  SAVER_SWITCH, SCRIPT_VALUE, SETTING_KEY, choose_script,
                                  script_text)
from velloway_e2e.testcase import (FILL_TOLERANCE, HostedTestCase, VellowayTestCase,
                                   program_from_env)

BACK = "204060"
DEFAULT_BACK = "05102A"  # samples/Default.vws
# Antialiased white text on black: anything clearly brighter is ink.
INK_TOLERANCE = 48
# Some 25 ticks at the fastest speed.
ALIVE_SECONDS = 2.5
# The saver needs ~30 MB under Wine; this only catches growth with the input's size.
RSS_LIMIT_MB = 300
# A loaded script may take at most 4 times its file and 64 MB more, beyond a bare Wine window.
MB = 1024 * 1024
BIG_SCRIPT_BYTES = 60 * MB
# Where the pointer rests while the saver runs: a pointer jump would end it.
REST = (100, 100)
# A number too large for a double: it reads as an infinity.
HUGE = "1" + "0" * 309


def header(base="20", speed="3", align="MID", back=BACK):
    return ("HEADER", base, speed, align, back)


def text(content, size="0", font="DejaVu Sans", colour="FFFFFF", spacing="1"):
    return ("TEXT", font, size, content, colour, spacing)


def script(*lines) -> bytes:
    return script_text(*lines).encode("utf-8")


@dataclass
class Hostile:
    """A script file for the saver to cope with: its bytes, None for a folder of that name, or a
    function that makes something else under that name at a Unix path; the background it shows;
    whether the failure line shows; the peak resident memory allowed (None: RSS_LIMIT_MB)."""
    content: Union[bytes, None, Callable[[Path], None]]
    background: str = BACK
    message: bool = False
    peak_mb: float | None = None


def hostile_scripts() -> dict:
    """{file name: Hostile}. Each header comes first, so that what follows is rolled and not only
    read."""
    tabs = "\t" * 100_000
    return {
        # A 10 MB line without a line end, rolled as one caption.
        "LongLine.vws": Hostile(script(header()) + "\t".join(text("long line " * 1_000_000))
                                .encode()),
        # Not "Nul.vws": Windows reads that name as the NUL device.
        "NulBytes.vws": Hostile(script(header(), text("NUL\0inside", font="DejaVu\0 Sans",
                                                      colour="FF\0FFFF", size="\0" "2",
                                                      spacing="1\0"),
                                       ("TE\0XT", "x", "0", "skipped"), ("\0",),
                                       ("WAIT", "0\0" "1"), text("after the NULs"))),
        "BadUtf8.vws": Hostile(script(header())
                               + b"TEXT\tDejaVu Sans\t0\t\xc3\x28 \xed\xa0\x80 \xf8\x88\x80\x80\x80 "
                                 b"\xc0\xaf\tFFFFFF\t1\r\n"
                               + b"TEXT\tDejaVu\xff Sans\t\xfe\t\x80\x80\tFF\xffFF\t1\r\n"
                               + b"TEXT\tDejaVu Sans\t0\tcut short \xe2\x82"),
        # Known as UTF-16 by the NULs in its first word.
        "Utf16NoBom.vws": Hostile(script_text(header(), text("UTF-16 without its mark"))
                                  .encode("utf-16-le")),
        "Tabs.vws": Hostile(script("\t".join(header()) + tabs,
                                   "\t".join(text("tabs follow")) + tabs, tabs)),
        "Numbers.vws": Hostile(script(header("1e309", "99999999999", "LEFT", "FFFFFF"),
                                      header("-0", "-0", "RIGHT", "000000"),
                                      header(HUGE, "3"),
                                      header("99999999999", "3"),
                                      text("1e309", size="1e309", spacing="-0"),
                                      text("huge", size=HUGE, spacing="-" + HUGE),
                                      text("-0", size="-0", spacing="-99999999999"),
                                      ("WAIT", "-0"), ("WAIT", "-" + HUGE),
                                      ("WAIT", "-99999999999"),
                                      text("99999999999", size="99999999999", spacing="1e309"),
                                      ("WAIT", HUGE), ("WAIT", "99999999999"))),
        # The smallest sizes first; the 1000-point line is rising when the key comes.
        "FontSizes.vws": Hostile(script(header("99999"), header("2147483648"), header("-40"),
                                        text("minus 40", size="-40"),
                                        text("minus 2^31", size="-2147483648"),
                                        text("99999", size="99999"),
                                        text("2^31", size="2147483648"))),
        "NoSuchFonts.vws": Hostile(script(header(), text("no such font", font="No Such Font"),
                                          text("no font name", font=""),
                                          text("a 1000-character name", font="F" * 1000),
                                          text("vertical", font="@No Such Font"))),
        "Spacing0.vws": Hostile(script(header(), *(text(f"line {i}", spacing="0")
                                                   for i in range(10_000)))),
        "Wait32767.vws": Hostile(script(header(), text("held"), ("WAIT", "32767"))),
        # Opening fails; the roll goes on. Both readings of a name: a full path and one in the
        # program's folder.
        "LongMusicPath.vws": Hostile(script(header(), ("BGM", "ON", "C:\\" + "m" * 4997),
                                            ("BGM", "ON", "m" * 5000), text("after the music"),
                                            ("BGM", "OFF"))),
        # Music that is not music: random bytes named .wav, a wave header of impossible
        # numbers, and the script itself.
        "BadMusic.vws": Hostile(script(header(), ("BGM", "ON", "noise.wav"),
                                       text("after the noise"), ("BGM", "ON", "broken.wav"),
                                       text("after the broken wave"),
                                       ("BGM", "ON", "BadMusic.vws"), text("after the script"),
                                       ("BGM", "OFF"))),
        # 60 MB of one-character lines: one record for every three bytes.
        "OneCharacterLines.vws": Hostile(script(header())
                                         + b"a\r\n" * ((BIG_SCRIPT_BYTES - 24) // 3),
                                         peak_mb=4 * BIG_SCRIPT_BYTES / MB + 64),
        "Folder.vws": Hostile(None, BLACK, True),
        # Listed by the settings dialog like any script, but no file of bytes: reading one would
        # never end, or never begin.
        "Zero.vws": Hostile(lambda path: path.symlink_to("/dev/zero"), BLACK, True),
        "Fifo.vws": Hostile(os.mkfifo, BLACK, True),
    }


class HostileRun:
    """Starts the saver on what the setting chooses and checks that it copes (a mixin for
    VellowayTestCase classes)."""

    def memory_mb(self, process) -> tuple:
        """(resident, peak resident) in MB of the Unix process running the program."""
        cmdline = Path(f"/proc/{process.pid}/cmdline").read_bytes().split(b"\0")
        self.assertEqual(cmdline[0].decode(errors="replace"), self.scr_windows,
                         f"PID {process.pid} does not run the program")
        return tuple(process.memory_kib(name) / 1024 for name in ("VmRSS", "VmHWM"))

    def assert_message_line(self) -> int:
        """A white line across the middle of the black screen, whole within it: why no script
        plays. Returns its width in pixels."""
        width, height = self.SCREEN
        band = (0, height // 3, width, height // 3)
        try:
            wait_until(lambda: self.desktop.capture(band).bbox_differing(BLACK, INK_TOLERANCE),
                       timeout=5, what="the failure message")
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("no-message.png"))
            self.fail(str(e))
        image = self.desktop.capture(band)
        left, _, ink_width, _ = image.bbox_differing(BLACK, INK_TOLERANCE)
        self.assertTrue(left > 0 and left + ink_width < width,
                        f"the line runs off the screen: ink from {left}, {ink_width} px wide")
        brightest = max((rgb for _, _, rgb in image.differing_pixels(BLACK, INK_TOLERANCE)),
                        key=sum)
        self.assertTrue(is_whiteish(brightest), f"message colour {brightest}")
        return ink_width

    def play_and_dismiss(self, case: str, background, message: bool,
                         peak_limit_mb: float = RSS_LIMIT_MB) -> int | None:
        """Plays what the setting chooses; returns the failure line's width when one shows."""
        self.desktop.mousemove(*REST)
        started = time.monotonic()
        process = self.start(SAVER_SWITCH)
        try:
            try:
                self.desktop.wait_window(MAIN_CAPTION_RE, timeout=20, process=process)
                shown = time.monotonic() - started
                self.desktop.wait_for_pixel(4, 4, background, FILL_TOLERANCE, timeout=10)
            except HarnessError as e:
                self.desktop.screenshot(self.artifact(f"{case}.start.png"))
                self.fail(f"{e} (exit status {process.returncode}, "
                          f"stderr {process.output()[1]!r})")
            message_width = self.assert_message_line() if message else None
            time.sleep(ALIVE_SECONDS)
            if not process.is_running():
                self.fail(f"ended by itself (exit status {process.returncode})")
            self.assertTrue(self.desktop.search(MAIN_CAPTION_RE), "window gone")
            image = self.desktop.screenshot(self.artifact(f"{case}.png"))
            # Checked again now that it has had time to paint: black is also the bare screen.
            width, height = self.SCREEN
            for x, y in [(4, 4), (width - 5, 4)]:
                self.assertTrue(colour_close(image.pixel(x, y), background, FILL_TOLERANCE),
                                f"({x}, {y}) is {image.pixel(x, y)}, not {background}")
            rss, peak = self.memory_mb(process)
            self.assertLess(peak, peak_limit_mb, "peak resident MB")
            pressed = time.monotonic()
            self.desktop.key("a")
            code = self.wait_exit(process, 5, "a key press")
            line = f", line {message_width} px wide" if message else ""
            print(f"\n{case}: window after {shown:.2f} s{line}, VmRSS {rss:.0f} MB, VmHWM "
                  f"{peak:.0f} MB (limit {peak_limit_mb:.0f} MB), ended "
                  f"{time.monotonic() - pressed:.2f} s after the key", end="", flush=True)
            self.assertEqual(code, 0, "exit status after a key press")
            return message_width
        finally:
            self.stop(process)


class HostileScriptTest(HostileRun, VellowayTestCase):
    SCREEN = (1280, 720)

    @classmethod
    def setUpClass(cls) -> None:
        super().setUpClass()
        cls.bare_window_mb = cls.bare_window_peak_mb()
        cls.scripts = hostile_scripts()
        cls.program_dir.write("noise.wav", random.Random(8).randbytes(200_000))
        # PCM with no channels, no rate and no block size, and more data than the file holds.
        fmt = struct.pack("<HHIIHH", 1, 0, 0, 0xFFFFFFFF, 0, 0)
        cls.program_dir.write("broken.wav", b"RIFF" + struct.pack("<I", 0xFFFFFFFF) + b"WAVE"
                              + b"fmt " + struct.pack("<I", len(fmt)) + fmt
                              + b"data" + struct.pack("<I", 0xFFFFFFF0) + b"\x7f" * 1000)
        for name, case in cls.scripts.items():
            if case.content is None:
                cls.program_dir.unix_path(name).mkdir()
            elif isinstance(case.content, bytes):
                cls.program_dir.write(name, case.content)

    @classmethod
    def bare_window_peak_mb(cls) -> float:
        """The peak resident memory of a bare full-screen Wine window, painted: what the saver
        costs before its script."""
        bare, _ = cls.program_dir.install(program_from_env(BARE_WINDOW_ENV))
        process = cls.prefix.start_program(bare, BACK)
        try:
            cls.desktop.wait_window(BARE_WINDOW_CAPTION_RE, timeout=20, process=process)
            cls.desktop.wait_for_pixel(4, 4, BACK, FILL_TOLERANCE, timeout=10)
            time.sleep(ALIVE_SECONDS)
            return process.memory_kib("VmHWM") / 1024
        finally:
            process.kill()
            cls.desktop.wait_no_window(BARE_WINDOW_CAPTION_RE, timeout=5)

    def test_saver_copes_with_hostile_scripts(self):
        for name, case in self.scripts.items():
            with self.subTest(script=name):
                choose_script(self.prefix, name)
                limit = (RSS_LIMIT_MB if case.peak_mb is None
                         else case.peak_mb + self.bare_window_mb)
                if callable(case.content):
                    # Its line must say it cannot be read, which is wider than the "Script not
                    # found" shown for the same name before it is made.
                    missing = self.play_and_dismiss(f"{name}.missing", BLACK, True)
                    case.content(self.program_dir.unix_path(name))
                    width = self.play_and_dismiss(name, case.background, case.message, limit)
                    self.assertGreater(width, missing + 20, "a wider line than for a missing "
                                       f"script: {width} px, missing {missing} px")
                else:
                    self.play_and_dismiss(name, case.background, case.message, limit)


# Stored script names: (value, background, failure message shown, entry selected in the dialog).
# A name of no file gives the failure line. A name longer than any path, and any type but REG_SZ
# (even with the data of a REG_SZ naming another script), read as no setting: Default.vws plays.
HOSTILE_SETTINGS = {
    "1000 characters": ("N" * 996 + ".vws", BLACK, True, []),
    "100000 characters": ("N" * 99_996 + ".vws", DEFAULT_BACK, False, ["Default.vws"]),
    "REG_DWORD": (7, DEFAULT_BACK, False, ["Default.vws"]),
    "REG_BINARY": ("Other.vws\0".encode("utf-16-le"), DEFAULT_BACK, False, ["Default.vws"]),
    "REG_MULTI_SZ": (["Other.vws"], DEFAULT_BACK, False, ["Default.vws"]),
}


class HostileSettingTest(HostileRun, HostedTestCase):

    @classmethod
    def setUpClass(cls) -> None:
        super().setUpClass()
        cls.program_dir.write("Default.vws", (REPO / "samples" / "Default.vws").read_bytes())
        cls.program_dir.write("Other.vws", script(header(), text("other")))

    def store(self, value) -> None:
        choose_script(self.prefix, value)
        # Stored exactly, or the case would test something else.
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, SCRIPT_VALUE), value)

    def test_saver_copes_with_hostile_settings(self):
        for case, (value, background, message, _) in HOSTILE_SETTINGS.items():
            with self.subTest(setting=case):
                self.store(value)
                self.play_and_dismiss(case, background, message)

    def test_dialog_opens_on_hostile_settings(self):
        host = self.start_host()
        for case, (value, _, _, selected) in HOSTILE_SETTINGS.items():
            with self.subTest(setting=case):
                self.store(value)
                process, records = self.open_dialog(host, CONFIG_SWITCH)
                try:
                    items, chosen = list_entries(records)
                    self.assertEqual(sorted(items), ["Default.vws", "Other.vws"], "entries")
                    self.assertEqual(chosen, selected, "selected entry")
                    self.desktop.key("Escape")
                    self.assertEqual(self.wait_exit(process, 5, "Escape"), 0, "exit status")
                finally:
                    self.close_dialog(process)


if __name__ == "__main__":
    unittest.main()
