"""The roll as a user sees it: lines enter at the bottom and rise 5 px a tick, take their place and
colour, WAIT holds them, CLEAR empties the screen, the script starts again when it runs out, the
roll keeps time; and what ends the saver (any key, Shift and F1 as well as letters, a click of any
button on the background, a pointer jump, also at speed 0 and without a header) and what does not
(a click or a drag that touches a line); the shipped sample rolling on its background.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_roll
(skipped without VELLOWAY_SCR; ctest sets it).
VELLOWAY_DOCS_IMAGES=<directory> also saves the sample's picture there as saver.png."""

import collections
import time
import unittest

from velloway_e2e.images import colour, colour_close
from velloway_e2e.program import REPO
from velloway_e2e.roll import (BACK, BLOCK, EDGE_TOLERANCE, INK_TOLERANCE, STEP_PX,
                               RollTestCase, text)
from velloway_e2e.testcase import FILL_TOLERANCE, VellowayTestCase, save_docs_image

TICK_SECONDS = {1: 0.5, 2: 0.2, 3: 0.1}


class RollPictureTest(RollTestCase):
    def timed_screenshot(self, name):
        """(time halfway through the capture, bbox of the ink), the picture kept as name."""
        before = time.monotonic()
        image = self.desktop.screenshot(self.artifact(name))
        return (before + time.monotonic()) / 2, image.bbox_differing(BACK, INK_TOLERANCE)

    def test_line_enters_at_the_bottom_and_rises_5_px_a_tick(self):
        _, height = self.SCREEN
        self.run_script(text(BLOCK * 4, spacing="20"), ("WAIT", "30"), speed=2)
        self.wait_first_line()
        self.wait_ink(lambda b: b is not None and b[1] + b[3] < height - 20,
                      what="the whole line above the bottom edge")
        first_at, a = self.timed_screenshot("rise-a.png")
        time.sleep(2.0)
        second_at, b = self.timed_screenshot("rise-b.png")
        self.assertEqual((b[0], b[2], b[3]), (a[0], a[2], a[3]),
                         f"the line changed its column or size: {a} then {b}")
        rise = a[1] - b[1]
        ticks = (second_at - first_at) / TICK_SECONDS[2]
        self.assertEqual(rise % STEP_PX, 0, f"rose {rise} px: not whole 5-px steps")
        self.assertLessEqual(abs(rise - STEP_PX * ticks), 1.5 * STEP_PX,
                             f"rose {rise} px in {second_at - first_at:.2f} s "
                             f"({ticks:.1f} ticks of 200 ms)")

    def test_alignment_left_mid_right(self):
        for align in ("LEFT", "MID", "RIGHT"):
            with self.subTest(align=align):
                # Two widths: each line is placed by its own width.
                process = self.run_script(text(BLOCK * 4, spacing="1.5"),
                                          text(BLOCK * 10, spacing="1.5"), ("WAIT", "30"),
                                          align=align)
                try:
                    self.wait_still(0.5)
                    image = self.desktop.screenshot(self.artifact(f"{align}.png"))
                finally:
                    self.stop(process)
                self.assert_two_lines_placed(align, image, EDGE_TOLERANCE)

    def test_text_takes_its_colour(self):
        colours = ["FF0000", "00FF00", "0000FF", "C08030"]
        self.run_script(*[text(BLOCK * 6, c, spacing="1.5") for c in colours], ("WAIT", "30"))
        self.wait_still(0.5)
        image = self.desktop.screenshot(self.artifact("colours.png"))
        boxes = self.line_boxes(image)
        self.assertEqual(len(boxes), len(colours), f"lines on screen: {boxes}")
        for want, box in zip(colours, boxes):  # the first record has risen furthest
            inks = [rgb for _, _, rgb in image.differing_pixels(BACK, INK_TOLERANCE, box)]
            common, _ = collections.Counter(inks).most_common(1)[0]
            self.assertTrue(colour_close(common, want, 8),
                            f"line {box}: ink {common}, want {colour(want)} from {want}")
            share = sum(colour_close(rgb, want, 8) for rgb in inks) / len(inks)
            self.assertGreater(share, 0.9, f"line {box}: only {share:.0%} of its ink is {want}")

    def test_wait_holds_clear_empties_and_the_script_starts_again(self):
        _, height = self.SCREEN
        self.run_script(text(BLOCK * 4, spacing="2"), ("WAIT", "2"), ("CLEAR",), ("WAIT", "2"))
        _, entered = self.wait_first_line()
        # Still for 0.6 s at 100 ms a tick: the WAIT has begun.
        rest_since, held = self.wait_still(0.6)
        self.desktop.screenshot(self.artifact("held.png"))

        # The WAIT's dispatch tick and its 2 x 10 ticks pass, then the CLEAR record's tick.
        def held_or_gone(bbox):
            if bbox not in (held, None):
                self.fail(f"the line moved during WAIT: {held} then {bbox}")
            return bbox is None
        cleared_at, _ = self.wait_ink(held_or_gone, timeout=5, what="CLEAR")
        self.desktop.screenshot(self.artifact("cleared.png"))
        self.assertAlmostEqual(cleared_at - rest_since, 2.2, delta=0.3,
                               msg="seconds from the last step to CLEAR after WAIT 2")

        # The second WAIT on an empty screen, then the first record again.
        again_at, again = self.wait_ink(lambda b: b is not None, timeout=5,
                                        what="the first line again")
        self.assertAlmostEqual(again_at - cleared_at, 2.3, delta=0.3,
                               msg="seconds of empty screen (WAIT 2, then the TEXT tick)")
        self.assertEqual(again[1] + again[3], height, f"came back at {again}, not from below")
        self.assertEqual((again[0], again[2]), (entered[0], entered[2]),
                         f"not the first line again: {entered} then {again}")

    def test_keeps_time_over_10_seconds(self):
        width, height = self.SCREEN
        # A tall spacing: the line rises for ~25 s; a narrow strip makes each capture ~1 ms, so
        # the moment of a step is known to a few milliseconds.
        strip = (width // 2 - 8, 0, 16, height)
        self.run_script(text(BLOCK * 4, spacing="40"), ("WAIT", "30"), speed=3)
        _, (_, top, _, _) = self.wait_ink(lambda b: b is not None and b[1] < height - 60, strip,
                                          what="the line well above the bottom edge")

        start_at, (_, start_top, _, _) = self.wait_step(top, strip)
        time.sleep(9.95)
        _, (_, top, _, _) = self.desktop.ink(BACK, INK_TOLERANCE, strip)
        end_at, (_, end_top, _, _) = self.wait_step(top, strip)
        seconds, rise = end_at - start_at, start_top - end_top
        print(f"\nrose {rise} px in {seconds:.3f} s: a tick every "
              f"{1000 * seconds / (rise / STEP_PX):.2f} ms", flush=True)
        self.assertAlmostEqual(rise / seconds, 50.0, delta=1.0,
                               msg=f"px per second ({rise} px in {seconds:.3f} s)")


class DismissalTest(RollTestCase):

    def test_any_key_ends_it(self):
        # Keys that type nothing too; Alt comes as a system key.
        for key in ("a", "Escape", "Shift_L", "Alt_L", "F1", "Left"):
            with self.subTest(key=key):
                process = self.run_script(*self.RISING)
                try:
                    self.wait_first_line()
                    self.desktop.key(key)
                    self.assert_ends(process, what=f"key {key}")
                finally:
                    self.stop(process)

    def test_a_click_of_any_button_on_the_background_ends_it(self):
        for button in (1, 2, 3, 8, 9):  # left, middle, right and the two extra buttons
            with self.subTest(button=button):
                process = self.run_script(*self.RISING)
                try:
                    self.wait_first_line()
                    self.desktop.click(button=button)
                    self.assert_ends(process, what=f"a click of button {button}")
                finally:
                    self.stop(process)

    def drag(self, to):
        """Holds the left button down while the pointer moves to `to`, 4 px a step and a step
        every 100 ms, far below the 20 px a tick that end the saver; then lets it go."""
        self.desktop.mouse_down()
        x, y = self.desktop.mouse_location()
        while (x, y) != to:
            x += max(-4, min(4, to[0] - x))
            y += max(-4, min(4, to[1] - y))
            self.desktop.mousemove(x, y)
            time.sleep(0.1)
        self.desktop.mouse_up()

    def test_a_click_or_a_drag_that_touches_a_line_does_not_end_it(self):
        line = (text(BLOCK * 10, spacing="2"), ("WAIT", "30"))
        process = self.run_script(*line)
        _, held = self.wait_still(1.5)
        self.stop(process)
        x, y, w, h = held
        on_line, beside = (x + w // 2, y + h // 2), (x + w // 2, y + h + 12)

        # The pointer waits where the line comes to rest; no move, so no jump either.
        process = self.run_script(*line, rest=on_line)
        _, again = self.wait_still(1.5)
        self.assertEqual(again, held, "the line came to rest elsewhere the second time")
        self.desktop.screenshot(self.artifact("click-on-line.png"))
        self.desktop.click()
        self.assert_keeps_running(process, 1.0, f"a click on the line at {on_line}")
        self.drag(beside)
        self.assert_keeps_running(process, 1.0, f"a press on the line released at {beside}")
        self.drag(on_line)
        self.assert_keeps_running(process, 1.0, f"a press at {beside} released on the line")
        self.desktop.key("a")
        self.assert_ends(process, what="key a")

    def test_pointer_jump_of_30_px_ends_it_but_20_px_does_not(self):
        process = self.run_script(*self.RISING, speed=1, rest=(400, 300))
        self.wait_first_line()
        self.desktop.mousemove_relative(12, 16)
        self.assert_keeps_running(process, 1.6, "a 20 px move")
        self.desktop.mousemove_relative(30, 0)
        elapsed = self.assert_ends(process, what="a 30 px jump")
        self.assertLess(elapsed, 1.5, "a tick every 500 ms should notice the jump")

    def test_slow_drift_does_not_end_it(self):
        process = self.run_script(*self.RISING, speed=1, rest=(400, 300))
        self.wait_first_line()
        # 5 px every 250 ms: ~10 px a tick, 80 px in all.
        self.assert_a_drift_does_not_end_it(process, 16, 0.25, then=0.6)

    def test_at_speed_0_or_without_a_header_a_pointer_move_ends_it(self):
        self.assert_a_pointer_move_ends_a_still_roll()


class SampleRollTest(VellowayTestCase):
    """The shipped sample, a few seconds in."""

    # Small enough for several lines of the roll to show in the README's picture.
    SCREEN = (960, 540)

    def test_default_sample_rolls_on_its_background(self):
        width, height = self.SCREEN
        self.desktop.mousemove(width // 2, height // 2)
        process = self.start_playing("Default.vws",
                                     (REPO / "samples" / "Default.vws").read_bytes())
        background = colour("05102A")
        self.wait_shown(process, background)
        first_seen, first = self.desktop.wait_ink(lambda bbox: bbox is not None, background, 48,
                                                  timeout=10, what="the first line")
        # Lines rise 5 px every 200 ms (speed 2): 10 s later the first is 250 px higher.
        time.sleep(max(0.0, first_seen + 10 - time.monotonic()))
        image = self.desktop.screenshot(self.artifact("saver.png"))
        self.assertTrue(process.is_running(), "the saver ended by itself")
        bbox = image.bbox_differing(background, 48)
        self.assertIsNotNone(bbox, "no text on the screen")
        self.assertLessEqual(bbox[1], first[1] - 200,
                             f"text first seen at {first}, 10 s later at {bbox}: not risen")
        matching, sampled = image.count_close(background, FILL_TOLERANCE, step=8)
        self.assertGreater(matching / sampled, 0.8, "mostly background")
        save_docs_image(image, "saver.png")


if __name__ == "__main__":
    unittest.main()
