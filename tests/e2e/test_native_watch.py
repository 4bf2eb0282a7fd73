"""The Linux program with --window --watch, as a writer uses it: each save of the script starts
the roll again from its beginning, whether the editor writes the file in place or renames a new
one over it; a script that cannot be played (no header line, a pipe under its name) shows why,
still and in the middle of the window, until it is saved again.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_watch
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import os
import time
import unittest

from velloway_e2e.native import NativeTestCase
from velloway_e2e.processes import HarnessError
from velloway_e2e.program import SCRIPT_OPTION, WINDOW_CAPTION_RE, WINDOW_OPTION, script_text
from velloway_e2e.roll import BLOCK, INK_TOLERANCE, NO_HEADER_BACK, STEP_PX, text
from velloway_e2e.testcase import FILL_TOLERANCE

WATCH_OPTION = "--watch"
# Each save of the script has a background of its own, so that the new roll shows at once.
FIRST_BACK, SECOND_BACK, FIXED_BACK = "102040", "402010", "104020"
# A problem is shown on black, in white.
PROBLEM_BACK = NO_HEADER_BACK


def rising_script(back):
    return script_text(("HEADER", "20", "3", "MID", back), text(BLOCK * 4, spacing="40"),
                       ("WAIT", "30"))


class NativeWatchTest(NativeTestCase):
    def setUp(self):
        super().setUp()
        self.script = self.folder / "Watch.vws"

    def save_in_place(self, content):
        self.script.write_text(content)

    def save_by_renaming(self, content):
        """As many editors save: a new file written beside it, renamed over it."""
        new = self.folder / ".Watch.vws.new"
        new.write_text(content)
        os.replace(new, self.script)

    def wait_background(self, back):
        x, y, w, h = self.window
        try:
            for px, py in ((x + 3, y + 3), (x + w - 4, y + h - 4)):
                self.desktop.wait_for_pixel(px, py, back, FILL_TOLERANCE, timeout=5)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact(f"{back}.png"))
            self.fail(f"{e} ({self.process.ending()})")

    def wait_ink(self, back, accept, what, region=None):
        try:
            return self.desktop.wait_ink(accept, back, INK_TOLERANCE, region or self.window,
                                         timeout=5, what=what)[1]
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("ink.png"))
            self.fail(str(e))

    def assert_roll_starts(self, back):
        """The roll of the script saved with background back starts from its beginning: its
        first line enters at the window's bottom edge."""
        self.wait_background(back)
        x, y, w, h = self.window
        # A strip along the bottom edge makes each capture quick: the line is seen as it enters.
        box = self.wait_ink(back, lambda b: b is not None, "the first line",
                            (x, y + h - 40, w, 40))
        self.assertEqual(box[1] + box[3], y + h, f"first seen at {box}: not at the bottom edge")
        self.assertLessEqual(box[3], 2 * STEP_PX, f"first seen at {box}: not just entering")

    def assert_problem_shown(self, before=None):
        """A line of text in the middle of the black window, standing still, in place of the
        line shown before."""
        self.wait_background(PROBLEM_BACK)
        x, y, w, h = self.window
        box = self.wait_ink(PROBLEM_BACK, lambda b: b is not None and b != before,
                            "the problem's line")
        time.sleep(1)
        _, still = self.desktop.ink(PROBLEM_BACK, INK_TOLERANCE, self.window)
        self.assertEqual(still, box, "the problem's line moved")
        bx, by, bw, bh = box
        self.assertGreater(bw, 200, f"ink {box}: no line of text")
        self.assertLess(bh, 40, f"ink {box}: more than a line")
        self.assertLessEqual(abs(bx + bw / 2 - (x + w / 2)), 8, f"ink {box}: not centred")
        self.assertLessEqual(abs(by + bh / 2 - (y + h / 2)), 8, f"ink {box}: not centred")
        return box

    def test_each_save_starts_the_roll_again_and_a_problem_shows_until_the_next(self):
        self.save_in_place(rising_script(FIRST_BACK))
        self.process = self.start(WINDOW_OPTION, WATCH_OPTION, SCRIPT_OPTION, str(self.script))
        try:
            wid = self.desktop.wait_window(WINDOW_CAPTION_RE, timeout=10, process=self.process)
        except HarnessError as e:
            self.fail(str(e))
        self.window = self.desktop.window_geometry(wid)
        self.assert_roll_starts(FIRST_BACK)
        _, y, _, h = self.window
        self.wait_ink(FIRST_BACK, lambda b: b is not None and b[1] < y + h - 100,
                      "the line well above the bottom edge")

        self.save_by_renaming(rising_script(SECOND_BACK))
        self.assert_roll_starts(SECOND_BACK)

        self.save_in_place(script_text(text(BLOCK * 4), ("WAIT", "30")))  # no header line
        no_header = self.assert_problem_shown()

        self.script.unlink()
        os.mkfifo(self.script)
        self.assert_problem_shown(before=no_header)

        self.script.unlink()
        self.save_in_place(rising_script(FIXED_BACK))
        self.assert_roll_starts(FIXED_BACK)
        self.assertTrue(self.process.is_running(), self.process.ending())


if __name__ == "__main__":
    unittest.main()
