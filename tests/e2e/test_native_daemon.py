"""The Linux program under the real screen-saver daemon: xscreensaver on Xvfb with a settings file
that lists only `velloway --root --script ...`; activated, the roll shows on the screen;
deactivated, the roll is gone and no copy of the program is left.

The daemon refuses to run hacks as root: as root the test runs it as a system user of its own,
made once (velloway-e2e). Its complaints about the system bus are harmless.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_daemon
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import os
import subprocess
import unittest

from velloway_e2e.images import colour_close
from velloway_e2e.native import NativeProcess, NativeTestCase, test_user
from velloway_e2e.processes import HarnessError, processes_with_command, run, wait_until
from velloway_e2e.program import ROOT_OPTION, SCRIPT_OPTION, script_text
from velloway_e2e.roll import BACK, BLOCK, INK_TOLERANCE, text
from velloway_e2e.testcase import artifacts_dir


class NativeDaemonTest(NativeTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.as_user, user = test_user()
        # The daemon's user reads the script and writes its home.
        cls.folder.chmod(0o755)
        cls.home = cls.folder / "home"
        cls.home.mkdir()
        os.chown(cls.home, user.pw_uid, user.pw_gid)

    def as_daemon_user(self, *argv: str) -> list:
        return [*self.as_user, "env", f"HOME={self.home}", f"DISPLAY={self.desktop.display}",
                *argv]

    def command(self, *args: str) -> subprocess.CompletedProcess:
        return run(self.as_daemon_user("xscreensaver-command", *args), check=False, timeout=10)

    def test_the_daemon_shows_the_roll_and_ends_it(self):
        script = self.write_script("Daemon.vws", script_text(
            ("HEADER", "20", "3", "MID", BACK), text(BLOCK * 4, spacing="40"), ("WAIT", "30")))
        script.chmod(0o644)
        (self.home / ".xscreensaver").write_text(
            "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
            "timeout: 0:30:00\n"
            # A quoted first word would be the entry's name: the paths have no blanks.
            f"programs: {self.program} {ROOT_OPTION} {SCRIPT_OPTION} {script}\n")
        daemon = NativeProcess(self.as_daemon_user("xscreensaver", "--no-splash", "--verbose"),
                               dict(os.environ), artifacts_dir() / f"{self.id()}-daemon")
        self.addCleanup(daemon.kill)
        try:
            wait_until(lambda: self.command("-activate").returncode == 0, 10,
                       what="the daemon to take a command")
            width, height = self.SCREEN
            for x, y in [(4, 4), (width - 5, height - 5)]:
                self.desktop.wait_for_pixel(x, y, BACK, 2, timeout=10)
            self.desktop.wait_ink(lambda b: b is not None and b[1] < height - 40, BACK,
                                  INK_TOLERANCE, timeout=10, what="a line rising")
            self.assertTrue(processes_with_command(str(script)), "no copy of the program runs")
            self.desktop.screenshot(self.artifact("active.png"))

            self.assertEqual(self.command("-deactivate").returncode, 0)
            wait_until(lambda: not processes_with_command(str(script)), 5,
                       what="the program to end")
            wait_until(lambda: not colour_close(self.desktop.pixel(4, 4), BACK, 2), 5,
                       what="the roll to leave the screen")
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("failed.png"))
            self.fail(f"{e}\ndaemon output: {daemon.output()[1][-2000:]}")
        finally:
            self.command("-exit")
        self.assertEqual(daemon.wait_exit(10), 0, "the daemon's exit status")
        self.assertEqual(processes_with_command(str(script)), [], "a copy of the program was left")


if __name__ == "__main__":
    unittest.main()
