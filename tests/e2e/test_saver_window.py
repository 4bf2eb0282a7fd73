"""The saver window started with /s: it covers the screen, takes the script header's background
colour, hides the pointer, and names a missing script in one centred line. Beside other
programs: it ends when another program's window takes the activation (but not on its own start
with a cover on a second monitor), refuses to be minimised and ends when minimised all the same,
and follows a change of the display mode. On two monitors: with "Play on every monitor" the roll
shows on both, without it the second shows the background colour alone; a click on the second
ends the saver either way.

Run: VELLOWAY_SCR=/path/to/velloway.scr VELLOWAY_PREVIEW_HOST=.../preview_host.exe
     VELLOWAY_OTHER_PROGRAM=.../other_program.exe python3 -m unittest -v test_saver_window
(a class is skipped when a program it needs is not named; ctest names them)."""

import unittest

from velloway_e2e.helper_programs import HostProgram, ask_other_program
from velloway_e2e.images import BLACK, ink_runs, is_whiteish
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import (COVER_CAPTION_RE, EVERY_MONITOR_VALUE, MAIN_CAPTION,
                                  MAIN_CAPTION_RE, OTHER_PROGRAM_ENV, PREVIEW_HOST_ENV,
                                  SAVER_SWITCH, SCRIPT_VALUE, SETTING_KEY, script_text)
from velloway_e2e.roll import BACK, BLOCK, EDGE_TOLERANCE, STEP_PX, RollTestCase, text
from velloway_e2e.roll import INK_TOLERANCE as ROLL_INK_TOLERANCE
from velloway_e2e.sound import write_tone
from velloway_e2e.testcase import FILL_TOLERANCE, VellowayTestCase, program_from_env

WHITE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "FFFFFF"), ("WAIT", "30"))
ORANGE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "ff8000"), ("WAIT", "30"))
HEADERLESS_SCRIPT = script_text("# no header: black, no roll", ("WAIT", "30"))
BLUE_SCRIPT = script_text(("HEADER", "12", "2", "MID", "0000FF"), ("WAIT", "30"))

# A long tone to play while another program takes the activation.
LONG_HZ = 315
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
        process = self.start(SAVER_SWITCH)
        return process, self.wait_shown(process)

    def measure_message_line(self, name):
        """Waits for the missing-script message and returns (image, bbox) of its ink."""
        width, height = self.SCREEN
        self.assert_background(BLACK, name + ".background.png", 0.9)
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
        self.assertEqual(self.desktop.window_name(wid), MAIN_CAPTION)

    def test_background_white_from_header(self):
        self.set_script("White.vws", WHITE_SCRIPT)
        self.show_saver()
        self.assert_background("FFFFFF", "white.png", 0.9)

    def test_background_orange_from_lower_case_header(self):
        self.set_script("Orange.vws", ORANGE_SCRIPT)
        self.show_saver()
        self.assert_background((255, 128, 0), "orange.png", 0.9)

    def test_background_black_without_header(self):
        self.set_script("NoHeader.vws", HEADERLESS_SCRIPT)
        self.show_saver()
        self.assert_background(BLACK, "black.png", 0.9)

    def test_default_script_when_setting_absent(self):
        self.prefix.reg_delete(SETTING_KEY, SCRIPT_VALUE)
        self.program_dir.write("Default.vws", BLUE_SCRIPT)
        self.addCleanup(self.program_dir.remove, "Default.vws")
        self.show_saver()
        self.assert_background("0000FF", "default-blue.png", 0.9)

    def test_pointer_hidden_over_window(self):
        self.set_script("White.vws", WHITE_SCRIPT)
        # The check itself must see an ordinary pointer before the saver runs.
        self.assertTrue(self.desktop.cursor_visible(), "pointer visible over the bare screen")
        self.show_saver()
        self.assert_background("FFFFFF", "pointer.png", 0.9)
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


class BesideOtherProgramsTestCase(RollTestCase):
    """The saver beside other programs: preview_host opens a window that takes the activation,
    other_program makes requests without a window of its own."""


    @classmethod
    def setUpClass(cls):
        cls.host_program = program_from_env(PREVIEW_HOST_ENV)
        cls.other_program = program_from_env(OTHER_PROGRAM_ENV)
        super().setUpClass()

    def ask(self, *request):
        return ask_other_program(self.prefix, self.other_program, *request)

    def assert_the_hosts_activation_ends_it(self, process, host):
        """The saver ends once the host's window has taken the activation; when it does not, the
        failure says where the activation is."""
        try:
            self.assert_ends(process, what="another program's window took the activation")
        except AssertionError as e:
            records = host.window(MAIN_CAPTION)
            where = (f"the foreground window {records[0]['foreground']} (the host's "
                     f"{host.hwnd}), the saver's active window {records[0]['active']}"
                     if records else "the saver's window gone")
            raise AssertionError(f"{e}: {where}") from None


class BesideOtherProgramsTest(BesideOtherProgramsTestCase):

    def test_another_programs_window_taking_the_activation_ends_it_music_stopped(self):
        write_tone(self.program_dir.unix / "long.wav", LONG_HZ, 30)
        sound = self.record_sound("activation")
        process = self.run_script(("BGM", "ON", "long.wav"), *self.RISING)
        wait_until(lambda: sound.size > 22050, timeout=5, what="the music to play")

        host = HostProgram(self.prefix, self.host_program)  # its window takes the activation
        self.addCleanup(host.close)
        self.assert_the_hosts_activation_ends_it(process, host)
        self.assert_music_stopped(sound)

    def test_another_programs_window_taking_the_activation_after_none_had_it_ends_it(self):
        # As Wine does now and then: the saver loses the activation to no window, which leaves
        # it running, and only then does the other program's window take it.
        process = self.run_script(*self.RISING)
        self.assertEqual(self.ask("deactivate"), ["RESULT 1"])
        self.assert_keeps_running(process, 0.5, "the activation going to no window")
        host = HostProgram(self.prefix, self.host_program)
        self.addCleanup(host.close)
        self.assert_the_hosts_activation_ends_it(process, host)

    def test_a_minimise_request_is_refused_and_a_minimise_ends_it(self):
        process = self.run_script(*self.RISING)
        wid = self.desktop.search(MAIN_CAPTION_RE)[0]
        self.assertEqual(self.ask("sysminimize", MAIN_CAPTION), ["RESULT 0"])
        self.assert_keeps_running(process, 1.0, "a refused minimise request")
        self.assertEqual(self.desktop.window_geometry(wid), (0, 0, *self.SCREEN))
        self.assertEqual(self.ask("minimize", MAIN_CAPTION), ["RESULT 0"])
        self.assert_ends(process, what="ShowWindow(SW_MINIMIZE)")


class CoverTest(BesideOtherProgramsTestCase):
    SCREEN = (1280, 1024)
    MONITORS = (SCREEN, (1024, 768))

    def test_its_own_start_with_a_cover_does_not_end_it(self):
        process = self.run_script(*self.RISING)
        self.desktop.wait_window(COVER_CAPTION_RE, timeout=5)
        self.assert_keeps_running(process, 2.0, "its own start with a cover")
        self.desktop.key("a")
        self.assert_ends(process, what="key a")


class EveryMonitorTest(RollTestCase):
    SCREEN = (1280, 1024)
    MONITORS = (SCREEN, (1024, 768))
    PRIMARY = (0, 0, 1280, 1024)
    SECOND = (1280, 0, 1024, 768)
    # The pointer rests on the second monitor, away from the lines: a click there needs no move.
    ON_SECOND = (1280 + 100, 100)

    def play_every_monitor(self, value):
        self.prefix.reg_set(SETTING_KEY, EVERY_MONITOR_VALUE, value)
        self.addCleanup(self.prefix.reg_delete, SETTING_KEY, EVERY_MONITOR_VALUE)
        process = self.run_script(*self.RISING, rest=self.ON_SECOND)
        try:
            self.desktop.wait_for_pixel(self.SECOND[0] + 4, 4, BACK, FILL_TOLERANCE)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("second.png"))
            self.fail(f"the second monitor does not show the background: {e}")
        return process

    def test_on_the_roll_shows_on_both_monitors_and_a_click_on_the_second_ends_it(self):
        process = self.play_every_monitor("1")
        _, height = self.SCREEN
        _, _, _, second_height = self.SECOND
        self.wait_ink(lambda b: b is not None and b[1] + b[3] < second_height - 40, self.SECOND,
                      what="the line well up the second monitor")
        image = self.desktop.screenshot(self.artifact("both.png"))
        first = image.bbox_differing(BACK, ROLL_INK_TOLERANCE, self.PRIMARY)
        second = image.bbox_differing(BACK, ROLL_INK_TOLERANCE, self.SECOND)
        self.assertIsNotNone(first, "no line on the primary monitor")
        # Both monitors have the same DPI: the same line, centred on each.
        self.assertEqual(first[2:], second[2:], f"the line on each: {first}, {second}")
        for (x, _, w, _), (left, _, width, _) in ((first, self.PRIMARY), (second, self.SECOND)):
            self.assertLessEqual(abs(x + w / 2 - (left + width / 2)), EDGE_TOLERANCE,
                                 f"the lines at {first} and {second}")
        # Risen as far from each bottom edge: the same ticks move both. The two windows paint
        # one after the other, so a capture may fall between them: one step apart at most.
        risen = (height - (first[1] + first[3]), second_height - (second[1] + second[3]))
        self.assertLessEqual(abs(risen[0] - risen[1]), STEP_PX, f"risen by {risen}")
        self.desktop.click()
        self.assert_ends(process, what="a click on the second monitor")

    def test_off_the_second_monitor_shows_the_background_alone_and_a_click_on_it_ends_it(self):
        process = self.play_every_monitor("0")
        _, height = self.SCREEN
        self.wait_ink(lambda b: b is not None and b[1] + b[3] < height - 100, self.PRIMARY,
                      what="the line well up the primary monitor")
        image = self.desktop.screenshot(self.artifact("cover.png"))
        matching, sampled = image.count_close(BACK, FILL_TOLERANCE, self.SECOND, step=8)
        self.assertEqual(matching, sampled, "the second monitor shows more than the background")
        self.desktop.click()
        self.assert_ends(process, what="a click on the cover")


class DisplayModeTest(BesideOtherProgramsTestCase):
    SCREEN = (1024, 768)
    MONITORS = (SCREEN,)
    LARGER = (1280, 1024)

    def test_window_fits_a_larger_screen_lines_shown_stay_and_new_ones_use_its_size(self):
        # The first line rises two of its heights and holds still for the WAIT, long enough for
        # the screen to grow; the next one enters after it.
        process = self.run_script(text(BLOCK * 10, spacing="2"), ("WAIT", "6"), *self.RISING)
        wid = self.desktop.search(MAIN_CAPTION_RE)[0]
        _, first = self.wait_still(0.3)
        self.assertEqual(self.ask("mode", *map(str, self.LARGER)), ["RESULT 0"])
        width, height = self.LARGER
        try:
            wait_until(lambda: self.desktop.window_geometry(wid) == (0, 0, width, height),
                       timeout=5, what="the window to fit the larger screen")
            self.desktop.wait_for_pixel(width - 5, height - 5, BACK, FILL_TOLERANCE)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("larger.png"))
            self.fail(str(e))
        self.assertEqual(self.desktop.ink(BACK, ROLL_INK_TOLERANCE)[1], first,
                         "the line shown moved with the new size")

        # The next line enters at the new bottom edge, in the middle of the new width.
        top = first[1] + first[3] + 1
        _, bbox = self.wait_ink(lambda b: b is not None, (0, top, width, height - top),
                                what="the next line")
        x, y, w, h = bbox
        self.assertEqual(y + h, height, f"the next line first seen at {bbox}")
        self.assertLessEqual(abs(x + w / 2 - width / 2), EDGE_TOLERANCE,
                             f"the next line at {bbox}")
        self.assertTrue(process.is_running())

if __name__ == "__main__":
    unittest.main()
