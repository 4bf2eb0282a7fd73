"""The saver window started with /s: it covers the screen, takes the script header's background
colour, hides the pointer, and names a missing script in one centred line.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_saver_window
(skipped without VELLOWAY_SCR; ctest sets it)."""

import unittest

from velloway_e2e import (BLACK, MAIN_CAPTION_RE, SETTING_KEY, HarnessError, VellowayTestCase,
                          colour, ink_runs, is_whiteish, script_text, wait_until)

WHITE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "FFFFFF"), ("WAIT", "30"))
ORANGE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "ff8000"), ("WAIT", "30"))
HEADERLESS_SCRIPT = script_text("# no header: black, no roll", ("WAIT", "30"))
BLUE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "0000FF"), ("WAIT", "30"))

# The background is a solid fill on a 24-bit screen; a little slack for rounding only.
FILL_TOLERANCE = 2
# Antialiased text on black: anything clearly brighter than the background is ink.
INK_TOLERANCE = 48


class SaverWindowTest(VellowayTestCase):
    # Not the 1920x1080 default, so a window sized for a fixed screen would show.
    SCREEN = (1280, 720)

    def show_saver(self):
        """Starts the saver and returns (process, window id) once its window is mapped."""
        width, height = self.SCREEN
        # The pointer rests over the middle before the start, so no later move is needed.
        self.desktop.mousemove(width // 2, height // 2)
        process = self.start("/s")
        try:
            wid = self.desktop.wait_window(MAIN_CAPTION_RE, timeout=20, alive=process.is_running)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("no-window.png"))
            self.fail(f"{e} (exit status {process.returncode}, stderr {process.output()[1]!r})")
        return process, wid

    def corners(self, inset=4):
        width, height = self.SCREEN
        return [(inset, inset), (width - 1 - inset, inset), (inset, height - 1 - inset),
                (width - 1 - inset, height - 1 - inset)]

    def assert_background(self, expected, name):
        expected = colour(expected)
        try:
            for x, y in self.corners():
                self.desktop.wait_for_pixel(x, y, expected, FILL_TOLERANCE, timeout=10)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact(name))
            self.fail(f"background not {expected}: {e}")
        image = self.desktop.screenshot(self.artifact(name))
        matching, sampled = image.count_close(expected, FILL_TOLERANCE, step=16)
        self.assertGreaterEqual(matching / sampled, 0.9,
                                f"only {matching} of {sampled} sampled pixels are {expected}")
        return image

    def measure_message_line(self, name):
        """Waits for the missing-script message and returns (image, bbox) of its ink."""
        width, height = self.SCREEN
        self.assert_background(BLACK, name + ".background.png")
        try:
            wait_until(lambda: self.desktop.capture().bbox_differing(BLACK, INK_TOLERANCE),
                       timeout=10, what="text on the black screen")
        except HarnessError as e:
            self.desktop.screenshot(self.artifact(name + ".png"))
            self.fail(str(e))
        image = self.desktop.screenshot(self.artifact(name + ".png"))
        bbox = image.bbox_differing(BLACK, INK_TOLERANCE)
        self.assertIsNotNone(bbox)
        return image, bbox

    # -- tests

    def test_window_covers_the_whole_screen(self):
        self.set_script("White.vws", WHITE_SCRIPT)
        _, wid = self.show_saver()
        width, height = self.SCREEN
        seen = [None]

        def full_screen():
            seen[0] = self.desktop.window_geometry(wid)
            return seen[0] == (0, 0, width, height)
        try:
            wait_until(full_screen, timeout=5, what="the window to cover the screen")
        except HarnessError:
            pass
        self.assertEqual(seen[0], (0, 0, width, height), "window geometry (x, y, w, h)")
        self.assertEqual(self.desktop.window_name(wid), "MAIN -+- Velloway")

    def test_background_white_from_header(self):
        self.set_script("White.vws", WHITE_SCRIPT)
        self.show_saver()
        self.assert_background("FFFFFF", "white.png")

    def test_background_orange_from_lower_case_header(self):
        self.set_script("Orange.vws", ORANGE_SCRIPT)
        self.show_saver()
        self.assert_background((255, 128, 0), "orange.png")

    def test_background_black_without_header(self):
        self.set_script("NoHeader.vws", HEADERLESS_SCRIPT)
        self.show_saver()
        self.assert_background(BLACK, "black.png")

    def test_default_script_when_setting_absent(self):
        self.prefix.reg_delete(SETTING_KEY, "ScriptFileName")
        self.program_dir.write("Default.vws", BLUE_SCRIPT)
        self.addCleanup(self.program_dir.remove, "Default.vws")
        self.show_saver()
        self.assert_background("0000FF", "default-blue.png")

    def test_pointer_hidden_over_window(self):
        self.set_script("White.vws", WHITE_SCRIPT)
        # The check itself must see an ordinary pointer before the saver runs.
        self.assertTrue(self.desktop.cursor_visible(), "pointer visible over the bare screen")
        self.show_saver()
        self.assert_background("FFFFFF", "pointer.png")
        try:
            self.desktop.wait_cursor(visible=False, timeout=5)
        except HarnessError:
            cursor = self.desktop.cursor_image()
            self.fail(f"pointer still visible: {cursor.width}x{cursor.height}, "
                      f"{cursor.visible_pixels} visible pixels at {cursor.position}")

    def test_missing_script_message_centred(self):
        path = self.set_script("Missing.vws", None)
        self.assertEqual(path, "C:\\Velloway\\Missing.vws")
        self.show_saver()
        image, (x, y, w, h) = self.measure_message_line("missing")
        width, height = self.SCREEN

        ink = list(image.differing_pixels(BLACK, INK_TOLERANCE))
        brightest = max((rgb for _, _, rgb in ink), key=sum)
        self.assertTrue(is_whiteish(brightest), f"text colour {brightest} is not white")

        runs = ink_runs(image.ink_rows(BLACK, INK_TOLERANCE))
        self.assertEqual(len(runs), 1, f"expected one line of text, found row runs {runs}")
        self.assertLess(h, height // 8, f"line height {h}")

        left, right = x, width - (x + w)
        self.assertLessEqual(abs(left - right), 12,
                             f"not centred horizontally: {left} px left, {right} px right")
        self.assertLessEqual(abs((y + h / 2) - height / 2), height / 10,
                             f"line at rows {y}..{y + h - 1}, screen centre {height // 2}")
        # "Script not found: C:\Velloway\Missing.vws" is 41 characters.
        self.assertGreater(w, 150, f"line only {w} px wide")

    def test_missing_script_message_grows_with_path(self):
        # The line names the file: a longer name gives a wider line, centred all the same.
        self.set_script("Missing.vws", None)
        process, _ = self.show_saver()
        _, short = self.measure_message_line("missing-short")
        self.stop(process)

        long_name = "A much longer name of a script that is not there.vws"
        self.set_script(long_name, None)
        self.show_saver()
        _, wide = self.measure_message_line("missing-long")
        self.assertGreater(wide[2], short[2] + 100,
                           f"line widths: {short[2]} px for Missing.vws, {wide[2]} px for "
                           f"{long_name!r}")
        width, _ = self.SCREEN
        self.assertLessEqual(abs(wide[0] - (width - wide[0] - wide[2])), 12)


if __name__ == "__main__":
    unittest.main()
