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

from velloway_e2e.program import CODEPAGE_OPTION, SMOOTH_OPTION, script_text
from velloway_e2e.roll import BACK, BLOCK, FONT, STEP_PX, NativeRollTestCase, text


class NativeRollTest(NativeRollTestCase):
    def test_background_fills_the_screen_and_lines_stand_left_mid_right(self):
        for align in ("LEFT", "MID", "RIGHT"):
            with self.subTest(align=align):
                process = self.run_script(text(BLOCK * 4, spacing="1.5"),
                                          text(BLOCK * 10, spacing="1.5"), ("WAIT", "30"),
                                          align=align)
                try:
                    self.assert_background(BACK, f"{align}-background.png")
                    self.wait_still(0.5)
                    image = self.desktop.screenshot(self.artifact(f"{align}.png"))
                finally:
                    self.stop(process)
                self.assert_two_lines_placed(align, image, 2)

    def test_rises_5_px_a_tick_and_50_px_a_second_at_speed_3(self):
        width, height = self.SCREEN
        # A narrow strip makes each capture quick: the moment of a step is known to a few ms.
        strip = (width // 2 - 8, 0, 16, height)
        self.run_script(text(BLOCK * 4, spacing="40"), ("WAIT", "30"), speed=3)
        _, (_, top, _, _) = self.wait_ink(lambda b: b is not None and b[1] < height - 60, strip,
                                          what="the line well above the bottom edge")

        start_at, (_, start_top, _, _) = self.wait_step(top, strip)
        steps = []
        while time.monotonic() - start_at < 6:
            _, (_, now_top, _, _) = self.wait_step(top, strip)
            steps.append(top - now_top)
            top = now_top
        end_at, (_, end_top, _, _) = self.wait_step(top, strip)
        seconds, rise = end_at - start_at, start_top - end_top
        print(f"\nrose {rise} px in {seconds:.3f} s in steps of {sorted(set(steps))} px",
              flush=True)
        self.assertTrue(set(steps) <= {STEP_PX, 2 * STEP_PX},
                        f"steps {sorted(set(steps))}: not 5 px a tick")
        self.assertAlmostEqual(rise / seconds, 50.0, delta=1.5,
                               msg=f"px per second ({rise} px in {seconds:.3f} s)")


class NativeSmoothTest(NativeRollTestCase):
    def test_smooth_a_line_rises_50_px_a_second_a_pixel_or_two_a_frame(self):
        self.run_script(text(BLOCK * 6, spacing="60"), ("WAIT", "30"), options=(SMOOTH_OPTION,))
        self.assert_rises_smoothly(3.0)

    def test_smooth_a_line_moves_at_every_frame(self):
        self.run_script(text(BLOCK * 6, spacing="60"), ("WAIT", "30"), options=(SMOOTH_OPTION,))
        self.assert_rises_every_frame(3.0)


class NativeCodePageTest(NativeRollTestCase):
    JAPANESE = "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"  # "Japanese text"

    def line_width(self, locale, *options):
        """The ink width of a Shift-JIS script's one line, read under a locale. Characters drawn
        in other faces than the line's own leave nothing behind as the line rises."""
        script = script_text(("HEADER", "20", "3", "MID", BACK),
                             ("TEXT", "IPAGothic", "0", self.JAPANESE, "FFFFFF", "1.5"),
                             ("WAIT", "30")).encode("cp932")
        process = self.start_playing("ShiftJis.vws", script, *options,
                                     env={"LC_ALL": "", "LC_CTYPE": "", "LANG": locale})
        try:
            self.wait_shown(process)
            _, box = self.wait_still(0.5)
            image = self.desktop.screenshot(self.artifact(f"{locale}{''.join(options)}.png"))
        finally:
            self.stop(process)
        self.assertEqual(self.line_boxes(image), [box], f"{locale}: ink beside the line")
        return box[2]

    def test_a_legacy_script_is_read_in_the_locales_code_page_or_the_one_named(self):
        named = self.line_width("C.UTF-8", CODEPAGE_OPTION, "932")
        japanese_locale = self.line_width("ja_JP.UTF-8")
        other_locale = self.line_width("C.UTF-8")
        self.assertEqual(japanese_locale, named, "a Japanese locale reads Shift-JIS")
        self.assertNotEqual(other_locale, named, "any other locale reads Windows-1252")


class NativeDismissalTest(NativeRollTestCase):

    def test_at_speed_0_or_without_a_header_a_pointer_move_ends_it(self):
        self.assert_a_pointer_move_ends_a_still_roll()

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
        self.assert_a_drift_does_not_end_it(process, 20, 0.15, then=0.5)


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
