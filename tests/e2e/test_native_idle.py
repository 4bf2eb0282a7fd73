"""velloway --when-idle: it stays in the session and plays full screen once the desktop has been
idle the time asked (0.05 minutes, 3 s, here), told by the X server of a private Xvfb, by headless
sway (org_kde_kwin_idle) and by headless Mutter's idle monitor over D-Bus. While the desktop is in
use it waits; the roll ends on a key and starts again only after the next idle period; while a
program holds an idle inhibitor it does not start; SIGTERM ends it, waiting or playing; a
compositor that goes ends it with status 1.

In the Wayland sessions the roll plays on an Xvfb beside the compositor, with the X11 backend
(--x11 where the program offers it: x11_roll): idleness is told by the Wayland session, the roll
shows on the X display, where it is read and ended. Without --x11 the roll plays on the
compositor itself, to be read there (grim).
What the program says with VELLOWAY_IDLE_REPORT set tells which source it listens to and counts
its rolls.

Run: VELLOWAY_NATIVE=/path/to/velloway VELLOWAY_IDLE_INHIBITOR=/path/to/idle_inhibitor
python3 -m unittest -v test_native_idle (skipped without them; ctest sets them)."""

import time
import unittest

from velloway_e2e.compositors import HeadlessMutter, HeadlessSway
from velloway_e2e.native import NativeProcess, NativeTestCase
from velloway_e2e.processes import run, wait_until
from velloway_e2e.program import (IDLE_INHIBITOR_ENV, IDLE_REPORT_ENV, MAIN_CAPTION_RE,
                                  SCRIPT_OPTION, WHEN_IDLE_OPTION, X11_OPTION, script_text)
from velloway_e2e.roll import BACK, BLOCK, text
from velloway_e2e.testcase import artifacts_dir, program_from_env

IDLE_MINUTES = "0.05"
# Input every half second for twice the idle time: no roll starts meanwhile.
IN_USE_SECONDS = 6
STARTS = "velloway: idle: the roll starts"


class IdleTestCase(NativeTestCase):
    SCREEN = (1280, 720)
    # The idle time, then the start.
    WINDOW_TIMEOUT = 20

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        help_text = run([str(cls.program), "--help"]).stdout.decode()
        # The X11 backend where the program can choose it.
        cls.x11_roll = [X11_OPTION] if X11_OPTION in help_text else []
        cls.script = cls.folder / "Idle.vws"
        cls.script.write_text(script_text(("HEADER", "20", "3", "MID", BACK),
                                          text(BLOCK * 4, spacing="40"), ("WAIT", "30")))

    def start_waiting(self, session_env: dict | None = None) -> NativeProcess:
        """The program waiting in the session of session_env, else in the X session alone."""
        options = self.x11_roll if session_env else []
        # Empty, they reach nothing: whatever the tests run in, the session is the test's.
        env = {"WAYLAND_DISPLAY": "", "DBUS_SESSION_BUS_ADDRESS": "", IDLE_REPORT_ENV: "1",
               **(session_env or {})}
        return self.start(WHEN_IDLE_OPTION, IDLE_MINUTES, SCRIPT_OPTION, str(self.script), *options,
                          env=env)

    def assert_told_by(self, process: NativeProcess, source: str) -> None:
        said = f"velloway: idle told by {source}"
        wait_until(lambda: said in process.output()[1] or not process.is_running(), 10,
                   what=said)
        self.assertIn(said, process.output()[1], process.ending())

    @staticmethod
    def starts(process: NativeProcess) -> int:
        return process.output()[1].count(STARTS)

    def assert_waits_while_in_use(self, process: NativeProcess, activity) -> None:
        before = self.starts(process)
        deadline = time.monotonic() + IN_USE_SECONDS
        while time.monotonic() < deadline:
            activity()
            time.sleep(0.5)
        self.assertEqual(self.starts(process), before, "a roll started while the desktop was used")
        self.assertTrue(process.is_running(), process.ending())

    def assert_plays(self, process: NativeProcess, rolls: int) -> None:
        """The roll shows full screen: its background in every corner."""
        self.wait_shown(process)
        self.assert_background(BACK, f"roll-{rolls}.png")
        self.assertEqual(self.starts(process), rolls)

    def end_roll(self, process: NativeProcess, activity) -> None:
        """A key ends the roll where it plays; in a session, the same hand is its activity."""
        self.desktop.key("a")
        activity()
        self.desktop.wait_no_window(MAIN_CAPTION_RE, timeout=5)
        self.assertTrue(process.is_running(), f"it ended with its roll ({process.ending()})")


class NativeIdleX11Test(IdleTestCase):
    def nudge(self) -> None:
        """A pointer moved a pixel and back: input, as the X server counts idleness."""
        self.desktop.mousemove_relative(1, 0)
        self.desktop.mousemove_relative(-1, 0)

    def test_plays_once_the_server_is_idle_and_again_after_the_next_idle_period(self):
        self.nudge()
        process = self.start_waiting()
        self.assert_told_by(process, "MIT-SCREEN-SAVER")
        self.assert_waits_while_in_use(process, self.nudge)
        self.assert_plays(process, 1)
        self.end_roll(process, self.nudge)
        self.assert_waits_while_in_use(process, self.nudge)
        self.assert_plays(process, 2)
        self.assert_ends_on_sigterm(process)

    def test_sigterm_ends_it_while_it_waits(self):
        self.nudge()
        process = self.start_waiting()
        self.assert_told_by(process, "MIT-SCREEN-SAVER")
        self.assert_ends_on_sigterm(process)
        self.assertEqual(self.starts(process), 0)


class NativeIdleSwayTest(IdleTestCase):
    @classmethod
    def setUpClass(cls):
        cls.inhibitor = program_from_env(IDLE_INHIBITOR_ENV)
        super().setUpClass()

    def setUp(self):
        super().setUp()
        self.sway = HeadlessSway()
        self.addCleanup(self.sway.stop)
        self.sway.__enter__()

    def hold_off_idleness(self) -> NativeProcess:
        """A video player's idle inhibitor, held until it is stopped."""
        player = NativeProcess([self.inhibitor], {**self.desktop.env, **self.sway.env},
                               artifacts_dir() / f"{self.id()}-inhibitor")
        self.addCleanup(player.kill)
        wait_until(lambda: "inhibiting" in player.output()[0] or not player.is_running(), 10,
                   what="the inhibitor")
        self.assertTrue(player.is_running(), player.ending())
        return player

    def test_plays_after_the_idle_time_again_after_the_next_and_not_while_inhibited(self):
        process = self.start_waiting(self.sway.env)
        self.assert_told_by(process, "org_kde_kwin_idle")
        self.assert_waits_while_in_use(process, self.sway.activity)
        self.assert_plays(process, 1)
        self.end_roll(process, self.sway.activity)
        self.assert_waits_while_in_use(process, self.sway.activity)
        self.assert_plays(process, 2)

        player = self.hold_off_idleness()
        self.end_roll(process, self.sway.activity)
        self.assert_waits_while_in_use(process, lambda: None)
        player.kill()
        self.assert_plays(process, 3)
        self.assert_ends_on_sigterm(process)

    def test_it_ends_when_the_compositor_goes(self):
        process = self.start_waiting(self.sway.env)
        self.assert_told_by(process, "org_kde_kwin_idle")
        self.sway.end()
        self.assertEqual(self.wait_exit(process, 10, "sway's end"), 1)
        self.assertEqual(process.reported().splitlines()[-1],
                         "velloway: the Wayland compositor is gone (Broken pipe)")


class NativeIdleMutterTest(IdleTestCase):
    def test_gnome_s_idle_monitor_tells_it_until_gnome_goes(self):
        with HeadlessMutter() as mutter:
            process = self.start_waiting(mutter.env)
            self.assert_told_by(process, "org.gnome.Mutter.IdleMonitor")
            self.assert_waits_while_in_use(process, mutter.activity)
            self.assert_plays(process, 1)
            self.end_roll(process, mutter.activity)
            self.assert_waits_while_in_use(process, mutter.activity)
            self.assert_plays(process, 2)
            self.end_roll(process, mutter.activity)
            mutter.end()
            self.assertEqual(self.wait_exit(process, 10, "Mutter's end"), 1)
        self.assertTrue(process.reported().splitlines()[-1].startswith(
            "velloway: GNOME's idle monitor stopped answering"), process.reported())


if __name__ == "__main__":
    unittest.main()
