"""What the roll tests share for the Wine and the Linux program: the scripts they play (a line of
full blocks, whose ink box is the box the program places), the pace of the roll, and RollWatching,
their ways of watching lines enter, rise, come to rest and move frame by frame."""

from __future__ import annotations

import time

from .images import ink_runs
from .native import NativeTestCase
from .processes import HarnessError
from .program import script_text
from .testcase import VellowayTestCase
from .xlib import XConnection

# Not black: an empty screen must still show that the saver's window is there.
BACK = "102040"
INK_TOLERANCE = 24
# A full block fills its whole text extent in DejaVu Sans, with no antialiased edge, so the ink
# box of a line is the box the program places.
FONT = "DejaVu Sans"
BLOCK = "\u2588"
# Glyph rounding at the edges of the ink box.
EDGE_TOLERANCE = 2
STEP_PX = 5
# A script without a header plays no roll, on black.
NO_HEADER_BACK = "000000"
# With smooth motion at speed 3 and 60 Hz a frame moves a line at most ceil(50 / 60) + 1 pixels;
# two reads closer than ONE_FRAME_APART have at most one frame between them.
MOST_PER_FRAME = 2
ONE_FRAME_APART = 0.010


def text(content, colour_text="FFFFFF", spacing="1"):
    return ("TEXT", FONT, "0", content, colour_text, spacing)


def roll_script(records, speed, align):
    """The text of a script of records and the background it shows; speed None leaves out its
    header."""
    if speed is None:
        return script_text(*records), NO_HEADER_BACK
    return script_text(("HEADER", "20", str(speed), align, BACK), *records), BACK


def alignments(width: int) -> dict:
    """{alignment: (the edge it places, how that edge is measured from (x, w), where it lies)}."""
    return {"LEFT": ("left edge", lambda x, w: x, width / 4),
            "MID": ("centre", lambda x, w: x + w / 2, width / 2),
            "RIGHT": ("right edge", lambda x, w: x + w, width * 3 / 4)}


class RollWatching:
    """The roll tests' ways of watching the screen (a mixin for the ProgramTestCase classes with
    a start_playing() of their own)."""

    # Where the pointer rests while the program runs: background, away from the centred lines.
    REST = (100, 100)
    # A rising line, then time enough for any test.
    RISING = (text(BLOCK * 4, spacing="40"), ("WAIT", "30"))

    def run_script(self, *records, speed=3, align="MID", rest=None, options=()):
        """Starts the program on a script of records (without a header when speed is None) and
        returns the process once its window shows the background."""
        script, back = roll_script(records, speed, align)
        self.desktop.mousemove(*(rest or self.REST))
        process = self.start_playing("Roll.vws", script, *options)
        self.wait_shown(process, back)
        return process

    def wait_ink(self, accept, region=None, timeout=10, what="ink"):
        try:
            return self.desktop.wait_ink(accept, BACK, INK_TOLERANCE, region, timeout, what)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("timeout.png"))
            self.fail(str(e))

    def wait_step(self, top, strip):
        """(time, bbox) of the line in strip once its top is no longer top."""
        return self.wait_ink(lambda b: b is not None and b[1] != top, strip, timeout=2,
                             what="the next step")

    def wait_still(self, span, region=None, timeout=15):
        """(time first seen, bbox) of ink that has not moved for span seconds."""
        deadline = time.monotonic() + timeout
        last, since = None, None
        while time.monotonic() < deadline:
            taken, bbox = self.desktop.ink(BACK, INK_TOLERANCE, region)
            if bbox != last or since is None:
                last, since = bbox, taken
            elif bbox is not None and taken - since >= span:
                return since, bbox
        self.desktop.screenshot(self.artifact("never-still.png"))
        self.fail(f"the roll did not come to rest within {timeout:g} s (last ink {last})")

    def wait_first_line(self, region=None):
        """(time, bbox) when a line first shows; it must enter from below the bottom edge."""
        width, height = self.SCREEN
        seen, bbox = self.wait_ink(lambda b: b is not None, region or (0, height - 40, width, 40),
                                   what="a line to appear")
        _, y, _, h = bbox
        self.assertEqual(y + h, height, f"first seen at {bbox}: not cut by the bottom edge")
        self.assertLessEqual(h, STEP_PX, f"first seen at {bbox}: more than one step showing")
        return seen, bbox

    def line_boxes(self, image):
        """The ink box of each line on screen, top to bottom."""
        width, _ = self.SCREEN
        return [image.bbox_differing(BACK, INK_TOLERANCE, (0, first, width, last - first + 1))
                for first, last in ink_runs(image.ink_rows(BACK, INK_TOLERANCE))]

    def assert_two_lines_placed(self, align, image, tolerance):
        """The two lines of unlike widths on the screen each stand where align places them."""
        edge, measure, want = alignments(self.SCREEN[0])[align]
        boxes = self.line_boxes(image)
        self.assertEqual(len(boxes), 2, f"lines on screen: {boxes}")
        self.assertGreater(boxes[1][2], 2 * boxes[0][2], f"line widths: {boxes}")
        for x, _, w, _ in boxes:
            self.assertLessEqual(abs(measure(x, w) - want), tolerance,
                                 f"{align}: {edge} at {measure(x, w)}, want {want} "
                                 f"(lines {boxes})")

    def assert_a_pointer_move_ends_a_still_roll(self):
        """At speed 0 or without a header the roll stands still and a move ends it at once."""
        for speed, back in ((0, BACK), (None, NO_HEADER_BACK)):
            with self.subTest(header="none" if speed is None else f"speed {speed}"):
                process = self.run_script(*self.RISING, speed=speed)
                try:
                    time.sleep(1.0)
                    _, bbox = self.desktop.ink(back, INK_TOLERANCE)
                    self.assertIsNone(bbox, "a line shows")
                    self.desktop.mousemove_relative(250, 0)
                    self.assert_ends(process, what="a 250 px pointer move")
                finally:
                    self.stop(process)

    def assert_a_drift_does_not_end_it(self, process, moves, interval, then):
        """The pointer drifts 5 px at a time, every interval seconds; the program goes on for
        then seconds more, and a key ends it."""
        x, y = self.desktop.mouse_location()
        for _ in range(moves):
            self.desktop.mousemove_relative(5, 0)
            time.sleep(interval)
        self.assertEqual(self.desktop.mouse_location(), (x + 5 * moves, y))
        self.assert_keeps_running(process, then,
                                  f"a pointer drifting 5 px per {interval * 1000:g} ms")
        self.desktop.key("a")
        self.assert_ends(process, what="key a")

    def follow_column(self, seconds, read):
        """[(time, read(image of the screen's middle column))] as fast as the X server answers,
        for seconds, once the first line is wholly on screen; read gives None where no ink is."""
        width, height = self.SCREEN
        column = (width // 2, 0, 1, height)
        self.wait_ink(lambda b: b is not None and b[1] < height - 60, column,
                      what="the first line wholly on screen")
        samples = []
        with XConnection(self.desktop.display) as screen:
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                before = time.monotonic()
                value = read(screen.capture(column))
                samples.append(((before + time.monotonic()) / 2, value))
        if any(value is None for _, value in samples):
            self.fail("the line left the column while it was followed")
        return samples

    def follow_top_edge(self, seconds):
        """[(time, top edge of the ink)] of the screen's middle column."""
        return self.follow_column(
            seconds, lambda image: min(image.ink_rows(BACK, INK_TOLERANCE), default=None))

    def follow_ink_centre(self, seconds):
        """[(time, vertical centre of the ink)] of the screen's middle column."""
        return self.follow_column(seconds, lambda image: image.ink_centre(BACK))

    def assert_rises_every_frame(self, seconds, refresh_hz=60):
        """Followed for seconds, the line's ink moves at every frame of the display (no frame
        repeats the one before) and rises 50 px a second."""
        samples = self.follow_ink_centre(seconds)
        (t0, c0), (t1, c1) = samples[0], samples[-1]
        reads = len(samples) / (t1 - t0)
        self.assertGreater(reads, 3 * refresh_hz, f"only {reads:.0f} reads a second")
        moves = sum(1 for (_, a), (_, b) in zip(samples, samples[1:]) if abs(b - a) > 1e-6)
        shown = moves / (t1 - t0)
        print(f"\n  {shown:.1f} distinct frames a second at {refresh_hz} Hz; "
              f"rose {(c0 - c1) / (t1 - t0):.1f} px/s ({reads:.0f} reads a second)")
        self.assertAlmostEqual(shown, refresh_hz, delta=refresh_hz * 0.05,
                               msg="distinct frames a second")
        self.assertAlmostEqual((c0 - c1) / (t1 - t0), 50, delta=2.5,
                               msg=f"rose {c0 - c1:.1f} px in {t1 - t0:.2f} s")

    @staticmethod
    def changes(samples):
        """[(time, rise in pixels, seconds since the read before)] at each change of the top."""
        found = []
        for (t0, top0), (t1, top1) in zip(samples, samples[1:]):
            if top1 != top0:
                found.append((t1, top0 - top1, t1 - t0))
        return found

    def assert_rises_smoothly(self, seconds):
        """Followed for seconds, the line rises 50 px a second a pixel or two a frame."""
        samples = self.follow_top_edge(seconds)
        moves = self.changes(samples)
        self.assertTrue(moves, "the line did not move")
        steps = sorted({rise for _, rise, gap in moves if gap < ONE_FRAME_APART})
        self.assertTrue(steps and set(steps) <= set(range(1, MOST_PER_FRAME + 1)),
                        f"steps between reads one frame apart: {steps} px")
        (t0, top0), (t1, top1) = samples[0], samples[-1]
        self.assertAlmostEqual((top0 - top1) / (t1 - t0), 50, delta=5,
                               msg=f"rose {top0 - top1} px in {t1 - t0:.2f} s")


class RollTestCase(RollWatching, VellowayTestCase):
    SCREEN = (1280, 720)


class NativeRollTestCase(RollWatching, NativeTestCase):
    """The roll tests' ways of watching the screen, on the Linux program."""
