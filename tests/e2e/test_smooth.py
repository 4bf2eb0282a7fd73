"""Smooth motion as a user sees it: with the option on, a line's top edge, read from the screen
as fast as it can be, rises 50 px/s at speed 3 in steps of 1 or 2 pixels, and a roll of many
short lines moves on without a pause at each new line; with it off, in steps of 5 pixels ten
times a second. A key still ends the saver while frames run.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_smooth
(skipped without VELLOWAY_SCR; ctest sets it)."""

import statistics
import unittest

from velloway_e2e.program import SETTING_KEY, SMOOTH_VALUE
from velloway_e2e.roll import BLOCK, FONT, RollTestCase, text

# While lines roll, a pixel comes within every 70 ms; the screen shows it at the next frame of
# 1/60 s.
LONGEST_STILL = 0.070 + 1 / 60


class SmoothMotionTest(RollTestCase):
    def play(self, smooth, *records):
        self.prefix.reg_set(SETTING_KEY, SMOOTH_VALUE, "1" if smooth else "0")
        return self.run_script(*records, speed=3)

    def test_on_a_line_rises_50_px_a_second_a_pixel_or_two_a_frame(self):
        self.play(True, text(BLOCK * 6, spacing="60"), ("WAIT", "30"))
        self.assert_rises_smoothly(3.0)

    def test_on_a_line_moves_at_every_frame(self):
        self.play(True, text(BLOCK * 6, spacing="60"), ("WAIT", "30"))
        self.assert_rises_every_frame(3.0)

    def test_on_short_lines_roll_without_a_pause_at_each_new_line(self):
        # 8-point lines (20 less twice 6), spacing 1: a new one every fourth tick, each held
        # still by the engine for its dispatch tick.
        short = ("TEXT", FONT, "-6", BLOCK * 3, "FFFFFF", "1")
        self.play(True, *[short] * 40, ("WAIT", "30"))
        moves = self.changes(self.follow_top_edge(2.5))
        times = [t for t, _, _ in moves]
        still = max(b - a for a, b in zip(times, times[1:]))
        self.assertLessEqual(still, LONGEST_STILL, f"the roll stood still for {still:.3f} s")

    def test_off_a_line_rises_5_px_ten_times_a_second(self):
        self.play(False, text(BLOCK * 6, spacing="60"), ("WAIT", "30"))
        moves = self.changes(self.follow_top_edge(2.0))
        self.assertEqual({rise for _, rise, _ in moves}, {5}, f"steps: {moves}")
        times = [t for t, _, _ in moves]
        interval = statistics.median(b - a for a, b in zip(times, times[1:]))
        self.assertAlmostEqual(interval, 0.1, delta=0.015, msg="seconds between steps")

    def test_on_a_key_still_ends_the_saver(self):
        process = self.play(True, text(BLOCK * 6, spacing="60"), ("WAIT", "30"))
        self.follow_top_edge(0.5)
        self.desktop.key("a")
        self.assert_ends(process, what="a key while frames run")


if __name__ == "__main__":
    unittest.main()
