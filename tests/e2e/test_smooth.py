"""Smooth motion as a user sees it: with the option on, a line's top edge, read from the screen
as fast as it can be, rises 50 px/s at speed 3 in steps of 1 or 2 pixels, and a roll of many
short lines moves on without a pause at each new line; with it off, in steps of 5 pixels ten
times a second. A key still ends the saver while frames run.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_smooth
(skipped without VELLOWAY_SCR; ctest sets it)."""

import statistics
import time
import unittest

from test_roll import BACK, BLOCK, FONT, INK_TOLERANCE, RollTestCase, text
from velloway_e2e.program import SETTING_KEY
from velloway_e2e.xlib import XConnection

# At speed 3 and 60 Hz a frame moves a line at most ceil(50 / 60) + 1 pixels.
MOST_PER_FRAME = 2
FRAME_SECONDS = 1 / 60
# Two reads closer than this have at most one frame between them.
ONE_FRAME_APART = 0.010
# While lines roll, a pixel comes within every 70 ms; the screen shows it at the next frame.
LONGEST_STILL = 0.070 + FRAME_SECONDS


class SmoothMotionTest(RollTestCase):
    def play(self, smooth, *records):
        self.prefix.reg_set(SETTING_KEY, "SmoothMotion", "1" if smooth else "0")
        return self.run_script(*records, speed=3)

    def follow_top_edge(self, seconds):
        """[(time, top edge of the ink)] read down the screen's middle column as fast as the X
        server answers, for seconds, once the first line is wholly on screen."""
        width, height = self.SCREEN
        column = (width // 2, 0, 1, height)
        self.wait_ink(lambda b: b is not None and b[1] < height - 60, column,
                      what="the first line wholly on screen")
        samples = []
        with XConnection(self.desktop.display) as screen:
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                before = time.monotonic()
                rows = screen.capture(column).ink_rows(BACK, INK_TOLERANCE)
                samples.append(((before + time.monotonic()) / 2, min(rows, default=None)))
        if any(top is None for _, top in samples):
            self.fail("the line left the column while it was followed")
        return samples

    @staticmethod
    def changes(samples):
        """[(time, rise in pixels, seconds since the read before)] at each change of the top."""
        found = []
        for (t0, top0), (t1, top1) in zip(samples, samples[1:]):
            if top1 != top0:
                found.append((t1, top0 - top1, t1 - t0))
        return found

    def test_on_a_line_rises_50_px_a_second_a_pixel_or_two_a_frame(self):
        self.play(True, text(BLOCK * 6, spacing="60"), ("WAIT", "30"))
        samples = self.follow_top_edge(3.0)
        moves = self.changes(samples)
        self.assertTrue(moves, "the line did not move")
        steps = sorted({rise for _, rise, gap in moves if gap < ONE_FRAME_APART})
        self.assertTrue(steps and set(steps) <= set(range(1, MOST_PER_FRAME + 1)),
                        f"steps between reads one frame apart: {steps} px")
        (t0, top0), (t1, top1) = samples[0], samples[-1]
        speed = (top0 - top1) / (t1 - t0)
        self.assertAlmostEqual(speed, 50, delta=5, msg=f"rose {top0 - top1} px in {t1 - t0:.2f} s")

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
