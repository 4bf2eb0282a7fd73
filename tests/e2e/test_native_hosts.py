"""The Linux program on a host window: drawn into the window --window-id names, or with --root
into the one XSCREENSAVER_WINDOW names, as the screen-saver daemon starts a hack; input does not
end it there, the host's end or SIGTERM does, at once even while a large script loads; with
--window in an ordinary window that ends when it is closed; of two copies on one display, one
plays the music.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_hosts
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import os
import signal
import time
import unittest

from velloway_e2e.images import colour_close
from velloway_e2e.native import NativeTestCase
from velloway_e2e.processes import (HarnessError, bytes_read, holds_open, proc_stat,
                                    wait_until)
from velloway_e2e.program import (DAEMON_WINDOW_ENV, ROOT_OPTION, SCRIPT_OPTION,
                                  WINDOW_CAPTION_RE, WINDOW_ID_OPTION, WINDOW_OPTION, script_text)
from velloway_e2e.roll import BACK, BLOCK, INK_TOLERANCE, text
from velloway_e2e.sound import SdlDiskCapture, write_tone
from velloway_e2e.testcase import FILL_TOLERANCE
from velloway_e2e.xlib import XConnection

# The host windows: two halves of the screen, leaving a strip of the desktop between them.
LEFT_HOST = (0, 0, 600, 720)
RIGHT_HOST = (680, 0, 600, 720)


class NativeHostTest(NativeTestCase):
    def setUp(self):
        super().setUp()
        self.x = XConnection(self.desktop.display)
        self.addCleanup(self.x.close)
        self.script = self.write_script("Host.vws", script_text(
            ("HEADER", "20", "3", "MID", BACK), ("BGM", "ON", "tone.wav"),
            text(BLOCK * 4, spacing="40"), ("WAIT", "30")))
        write_tone(self.folder / "tone.wav", 441, 30)

    def host(self, region, name="host"):
        return self.x.create_window(region, name)

    def wait_drawn(self, process, region):
        """Waits for the background in the region's corners and a line rising inside it."""
        x, y, w, h = region
        try:
            for px, py in [(x + 3, y + 3), (x + w - 4, y + h - 4)]:
                self.desktop.wait_for_pixel(px, py, BACK, FILL_TOLERANCE, timeout=10)
            self.desktop.wait_ink(lambda b: b is not None and b[1] + b[3] < y + h - 20, BACK,
                                  INK_TOLERANCE, region, timeout=8, what="a line in the host")
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("host.png"))
            self.fail(f"{e} (running: {process.is_running()}, output {process.output()})")

    def assert_untouched(self, region):
        """The desktop outside the host shows nothing of the roll."""
        x, y, w, h = region
        self.assertFalse(colour_close(self.desktop.pixel(x + w + 10, y + 10), BACK,
                                      FILL_TOLERANCE), "the roll spilled out of its host")

    def test_window_id_draws_into_the_window_and_input_does_not_end_it(self):
        wid = self.host(LEFT_HOST)
        self.desktop.mousemove(300, 300)
        process = self.start(WINDOW_ID_OPTION, hex(wid), SCRIPT_OPTION, str(self.script))
        self.wait_drawn(process, LEFT_HOST)
        self.assert_untouched(LEFT_HOST)
        self.desktop.key("a")
        self.desktop.click(button=1)
        self.desktop.mousemove_relative(200, 0)
        time.sleep(1)
        self.assertTrue(process.is_running(), "ended by input on a host window")
        self.x.destroy_window(wid)
        self.assertEqual(process.wait_exit(3), 0, "exit status once the host was destroyed")

    def test_root_draws_into_the_daemons_window_and_ends_on_sigterm(self):
        wid = self.host(RIGHT_HOST, "daemon")
        sound = SdlDiskCapture(self.folder, f"root-{time.monotonic_ns()}")
        process = self.start(ROOT_OPTION, SCRIPT_OPTION, str(self.script),
                             env={DAEMON_WINDOW_ENV: hex(wid), **sound.env})
        self.wait_drawn(process, RIGHT_HOST)
        wait_until(lambda: sound.size > 0, 5, what="the music to start")
        self.assert_ends_on_sigterm(process)
        self.assert_music_stopped(sound)

    def test_sigterm_ends_it_at_once_while_a_large_script_loads(self):
        # A header and 250 MB of NUL bytes: a long load, written in no time.
        big = self.folder / "Big.vws"
        with big.open("wb") as f:
            f.write(script_text(("HEADER", "20", "3", "MID", BACK)).encode())
            f.truncate(250 << 20)
        wid = self.host(RIGHT_HOST, "daemon")
        # SIGTERM comes while the program is held stopped in its load, however fast the machine
        # loads. A program that got through its load before it could be stopped (this test kept
        # waiting for a processor all that while) is started again.
        for _ in range(5):
            process = self.start(ROOT_OPTION, SCRIPT_OPTION, str(big),
                                 env={DAEMON_WINDOW_ENV: hex(wid)})
            if self.stopped_while_loading(process, big):
                break
            process.kill()
        else:
            self.fail("the program was never stopped while it loaded the script")
        process.terminate()
        os.kill(process.pid, signal.SIGCONT)
        try:
            process.wait_exit(0.5)
        except HarnessError as e:
            self.fail(f"SIGTERM came during the load: {e}")

    def stopped_while_loading(self, process, script):
        """Stops the program once it has the script open, or has read it; whether it still had
        it open when it stopped: the load was under way."""
        size = script.stat().st_size
        try:
            wait_until(lambda: (holds_open(process.pid, script) or bytes_read(process.pid) >= size
                                or not process.is_running()),
                       10, interval=0.001, what="the program to open the script")
        except HarnessError as e:
            self.fail(f"{e} (output {process.output()})")
        if not process.is_running():
            self.fail(f"the program ended before SIGTERM: {process.ending()}")
        os.kill(process.pid, signal.SIGSTOP)
        wait_until(lambda: proc_stat(process.pid)[0] == "T", 5, interval=0.001,
                   what="the program to stop")
        return holds_open(process.pid, script)

    def test_of_two_copies_on_one_display_one_plays_the_music(self):
        sounds, processes = [], []
        for region in (LEFT_HOST, RIGHT_HOST):
            wid = self.host(region)
            sound = SdlDiskCapture(self.folder, f"copy-{len(sounds)}-{time.monotonic_ns()}")
            processes.append(self.start(ROOT_OPTION, SCRIPT_OPTION, str(self.script),
                                        env={DAEMON_WINDOW_ENV: str(wid), **sound.env}))
            sounds.append(sound)
        for process, region in zip(processes, (LEFT_HOST, RIGHT_HOST)):
            self.wait_drawn(process, region)
        wait_until(lambda: any(s.size > 0 for s in sounds), 5, what="the music to start")
        time.sleep(1)
        self.assertEqual(sorted(s.size > 0 for s in sounds), [False, True],
                         f"copies playing music: {[s.size for s in sounds]}")

    def test_window_plays_in_an_ordinary_window_that_ends_when_closed(self):
        process = self.start(WINDOW_OPTION, SCRIPT_OPTION, str(self.script))
        try:
            wid = int(self.desktop.wait_window(WINDOW_CAPTION_RE, timeout=10, process=process))
        except HarnessError as e:
            self.fail(f"{e} (output {process.output()})")
        region = self.desktop.window_geometry(str(wid))
        self.wait_drawn(process, region)
        self.desktop.key("a")
        time.sleep(0.5)
        self.assertTrue(process.is_running(), "ended by a key in an ordinary window")
        self.x.request_close(wid)
        self.assertEqual(process.wait_exit(3), 0, "exit status once the window was closed")


if __name__ == "__main__":
    unittest.main()
