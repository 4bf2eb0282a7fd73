"""The Linux program full screen, as a user sees it: the background colour, the lines in their
LEFT, MID and RIGHT places, rising 5 px a tick and 50 px a second at speed 3, and with --smooth in
steps of a pixel or two a frame; what ends it (any
key, Shift, Ctrl, Super, F1 and the arrows too, a click, a pointer jump, also at speed 0 and
without a header) and what does not (a pointer drifting 5 px at a time); lines far wider than
the screen (beyond X11's 16-bit coordinates, or at 1000 points).

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_roll
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import time
import unittest

import test_roll
import test_smooth
from test_roll import BACK, BLOCK, FONT, INK_TOLERANCE, STEP_PX, roll_script, text
from velloway_e2e.processes import HarnessError
from velloway_e2e.program import MAIN_CAPTION_RE, script_text
from velloway_e2e.native import NativeTestCase


class NativeRollTestCase(NativeTestCase):
    """The roll tests' ways of watching the screen, on the Linux program."""

    REST = test_roll.RollTestCase.REST
    wait_ink = test_roll.RollTestCase.wait_ink
    wait_still = test_roll.RollTestCase.wait_still
    wait_first_line = test_roll.RollTestCase.wait_first_line
    line_boxes = test_roll.RollTestCase.line_boxes
    assert_ends = test_roll.RollTestCase.assert_ends
    assert_keeps_running = test_roll.RollTestCase.assert_keeps_running

    def run_script(self, *records, speed=3, align="MID", rest=None, args=()):
        """Starts the program full screen on a script of records (without a header when speed
        is None) and returns the process once its window shows the background."""
        content, back = roll_script(records, speed, align)
        script = self.write_script("Roll.vws", content)
        self.desktop.mousemove(*(rest or self.REST))
        process = self.start("--script", str(script), *args)
        try:
            self.desktop.wait_window(MAIN_CAPTION_RE, timeout=10, process=process)
            self.desktop.wait_for_pixel(4, 4, back, 2, timeout=10)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("start.png"))
            self.fail(str(e))
        return process


class NativeRollTest(NativeRollTestCase):
    def test_background_fills_the_screen_and_lines_stand_left_mid_right(self):
        width, height = self.SCREEN
        expected = {"LEFT": ("left edge", lambda x, w: x, width / 4),
                    "MID": ("centre", lambda x, w: x + w / 2, width / 2),
                    "RIGHT": ("right edge", lambda x, w: x + w, width * 3 / 4)}
        for align, (edge, measure, want) in expected.items():
            with self.subTest(align=align):
                process = self.run_script(text(BLOCK * 4, spacing="1.5"),
                                          text(BLOCK * 10, spacing="1.5"), ("WAIT", "30"),
                                          align=align)
                try:
                    for x, y in [(4, 4), (width - 5, 4), (4, height - 5), (width - 5, height - 5)]:
                        self.desktop.wait_for_pixel(x, y, BACK, 2)
                    self.wait_still(0.5)
                    image = self.desktop.screenshot(self.artifact(f"{align}.png"))
                finally:
                    self.stop(process)
                boxes = self.line_boxes(image)
                self.assertEqual(len(boxes), 2, f"lines on screen: {boxes}")
                self.assertGreater(boxes[1][2], 2 * boxes[0][2], f"line widths: {boxes}")
                for x, _, w, _ in boxes:
                    self.assertLessEqual(abs(measure(x, w) - want), 2,
                                         f"{align}: {edge} at {measure(x, w)}, want {want} "
                                         f"(lines {boxes})")

    def test_rises_5_px_a_tick_and_50_px_a_second_at_speed_3(self):
        width, height = self.SCREEN
        # A narrow strip makes each capture quick: the moment of a step is known to a few ms.
        strip = (width // 2 - 8, 0, 16, height)
        self.run_script(text(BLOCK * 4, spacing="40"), ("WAIT", "30"), speed=3)
        _, (_, top, _, _) = self.wait_ink(lambda b: b is not None and b[1] < height - 60, strip,
                                          what="the line well above the bottom edge")

        def next_step(top):
            return self.wait_ink(lambda b: b is not None and b[1] != top, strip, timeout=2,
                                 what="the next step")
        start_at, (_, start_top, _, _) = next_step(top)
        steps = []
        while time.monotonic() - start_at < 6:
            _, (_, now_top, _, _) = next_step(top)
            steps.append(top - now_top)
            top = now_top
        end_at, (_, end_top, _, _) = next_step(top)
        seconds, rise = end_at - start_at, start_top - end_top
        print(f"\nrose {rise} px in {seconds:.3f} s in steps of {sorted(set(steps))} px",
              flush=True)
        self.assertTrue(set(steps) <= {STEP_PX, 2 * STEP_PX},
                        f"steps {sorted(set(steps))}: not 5 px a tick")
        self.assertAlmostEqual(rise / seconds, 50.0, delta=1.5,
                               msg=f"px per second ({rise} px in {seconds:.3f} s)")


class NativeSmoothTest(NativeRollTestCase):
    follow_top_edge = test_smooth.SmoothMotionTest.follow_top_edge
    changes = staticmethod(test_smooth.SmoothMotionTest.changes)

    def test_smooth_a_line_rises_50_px_a_second_a_pixel_or_two_a_frame(self):
        self.run_script(text(BLOCK * 6, spacing="60"), ("WAIT", "30"), args=("--smooth",))
        samples = self.follow_top_edge(3.0)
        moves = self.changes(samples)
        self.assertTrue(moves, "the line did not move")
        steps = sorted({rise for _, rise, gap in moves if gap < test_smooth.ONE_FRAME_APART})
        self.assertTrue(steps and set(steps) <= set(range(1, test_smooth.MOST_PER_FRAME + 1)),
                        f"steps between reads one frame apart: {steps} px")
        (t0, top0), (t1, top1) = samples[0], samples[-1]
        self.assertAlmostEqual((top0 - top1) / (t1 - t0), 50, delta=5,
                               msg=f"rose {top0 - top1} px in {t1 - t0:.2f} s")


class NativeCodePageTest(NativeRollTestCase):
    JAPANESE = "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"  # "Japanese text"

    def line_width(self, locale, *args):
        """The ink width of a Shift-JIS script's one line, read under a locale. Characters drawn
        in other faces than the line's own leave nothing behind as the line rises."""
        script = self.write_script("ShiftJis.vws", script_text(
            ("HEADER", "20", "3", "MID", BACK), ("TEXT", "IPAGothic", "0", self.JAPANESE,
                                                 "FFFFFF", "1.5"), ("WAIT", "30")),
            encoding="cp932")
        process = self.start("--script", str(script), *args,
                             env={"LC_ALL": "", "LC_CTYPE": "", "LANG": locale})
        try:
            self.desktop.wait_window(MAIN_CAPTION_RE, timeout=10, process=process)
            _, box = self.wait_still(0.5)
            image = self.desktop.screenshot(self.artifact(f"{locale}{''.join(args)}.png"))
        finally:
            self.stop(process)
        self.assertEqual(self.line_boxes(image), [box], f"{locale}: ink beside the line")
        return box[2]

    def test_a_legacy_script_is_read_in_the_locales_code_page_or_the_one_named(self):
        named = self.line_width("C.UTF-8", "--codepage", "932")
        japanese_locale = self.line_width("ja_JP.UTF-8")
        other_locale = self.line_width("C.UTF-8")
        self.assertEqual(japanese_locale, named, "a Japanese locale reads Shift-JIS")
        self.assertNotEqual(other_locale, named, "any other locale reads Windows-1252")


class NativeDismissalTest(NativeRollTestCase):
    RISING = (text(BLOCK * 4, spacing="40"), ("WAIT", "30"))
    test_at_speed_0_or_without_a_header_a_pointer_move_ends_it = (
        test_roll.DismissalTest.test_at_speed_0_or_without_a_header_a_pointer_move_ends_it)

    def test_any_key_a_click_and_a_pointer_jump_end_it(self):
        # Keys that type nothing too.
        keys = ("a", "Escape", "Shift_L", "Control_L", "super", "F1", "Left")
        ways = {f"key {key}": lambda key=key: self.desktop.key(key) for key in keys}
        ways |= {"a click": lambda: self.desktop.click(button=1),
                 "a right click": lambda: self.desktop.click(button=3),
                 "a 30 px jump": lambda: self.desktop.mousemove_relative(30, 0)}
        for what, act in ways.items():
            with self.subTest(what):
                process = self.run_script(*self.RISING, rest=(400, 300))
                try:
                    self.wait_first_line()
                    act()
                    self.assert_ends(process, what=what)
                finally:
                    self.stop(process)

    def test_a_pointer_drifting_5_px_at_a_time_does_not_end_it(self):
        process = self.run_script(*self.RISING, rest=(400, 300))
        self.wait_first_line()
        # 5 px every 150 ms: at most 5 px a tick of 100 ms, 100 px in all.
        for _ in range(20):
            self.desktop.mousemove_relative(5, 0)
            time.sleep(0.15)
        self.assertEqual(self.desktop.mouse_location(), (500, 300))
        self.assert_keeps_running(process, 0.5, "a pointer drifting 5 px at a time")
        self.desktop.key("a")
        self.assert_ends(process, what="key a")


class NativeWideLineTest(NativeRollTestCase):
    """Lines far wider than the screen: the part on screen shows, and drawing it costs the X
    server no more than the screen's width, however long the line."""

    def test_a_line_wider_than_32767_px_shows_its_part_on_screen(self):
        # 1,850 "W" at 14 pt: some 35,000 px, centred.
        self.run_script(("TEXT", FONT, "-3", "W" * 1850, "FFFFFF", "40"), ("WAIT", "30"))
        width, _ = self.SCREEN
        self.wait_ink(lambda b: b is not None and b[2] > width * 0.9, timeout=5,
                      what="the line across the screen")

    def test_a_1000_point_line_of_2000_characters_leaves_the_display_responsive(self):
        # Liberation Sans, the face fontconfig shows for Arial: some 2.5 million px.
        process = self.run_script(("TEXT", "Arial", "490", "W" * 2000, "FFFFFF", "1"),
                                  ("WAIT", "30"))
        # The line is placed and rises into sight within a few ticks: its image is drawn.
        time.sleep(1)
        asked = time.monotonic()
        self.desktop.mouse_location()
        self.assertLess(time.monotonic() - asked, 1, "the X server answered late")
        self.desktop.key("a")
        self.assertEqual(process.wait_exit(2), 0, "exit status after key a")


if __name__ == "__main__":
    unittest.main()
