"""The settings dialog, as a user and the Display control panel meet it.

- No switch and "/c" show the dialog "CONFIG -+- Velloway" listing the program directory's
  scripts with the stored one selected; Down and Enter store another, which the next "/s" plays;
  Escape stores nothing.
- OK stores the entry selected at that moment, even one selected by another program without a
  word to the dialog; the opened list is as wide as the longest name needs, and no wider than
  the screen.
- The boxes "Smooth motion" and "Play on every monitor" show the stored options, lie in the
  list's column below the buttons, white on the dialog's black; Tab goes from the list through
  the two boxes, OK and Cancel; Space turns a box on or off; Enter on a box stores the boxes and
  the script, Escape on a box stores nothing.

The host program (preview_host.exe) reads and drives the dialog for the tests: its list entries,
its selection, its focus and its opened list.

Run: VELLOWAY_SCR=.../velloway.scr VELLOWAY_PREVIEW_HOST=.../preview_host.exe
     python3 -m unittest -v test_dialog
(skipped when a program is not named; ctest names them).
VELLOWAY_DOCS_IMAGES=<directory> also saves dialog.png there."""

import unittest

from velloway_e2e.helper_programs import list_entries, parse_rect
from velloway_e2e.images import BLACK, colour_close, is_whiteish
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import (CONFIG_CAPTION, CONFIG_SWITCH, EVERY_MONITOR_VALUE, REPO,
                                  SAVER_SWITCH, SCRIPT_VALUE, SETTING_KEY, SMOOTH_VALUE,
                                  choose_script, solid_script)
from velloway_e2e.testcase import FILL_TOLERANCE, HostedTestCase, save_docs_image

# Scripts in the program directory and the background each one gives the saver.
SCRIPTS = {
    "Default.vws": "05102A",  # the shipped sample
    "Amber.vws": "FFB000",
    "Teal.vws": "008080",
    "Violet.vws": "8000FF",
}
NOT_SCRIPTS = ["readme.txt", "Amber.vws.bak"]
STORED = "Default.vws"
# The list's font as the dialog is designed: ＭＳ Ｐゴシック 9.75 pt bold, Shift-JIS.
LIST_FONT = ("9.75", "700", "128", "\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af")
# Names alike in their first 31 characters, and one wider than the tests' screen.
ALIKE_NAMES = [f"Family credits for the reunion {year}.vws" for year in (2022, 2023, 2024)]
ENDLESS_NAME = "Family credits for the reunion " * 7 + "2025.vws"
# The option boxes by their captions, and where each is stored.
SMOOTH_BOX = "Smooth motion"
EVERY_MONITOR_BOX = "Play on every monitor"
OPTION_VALUES = {SMOOTH_BOX: SMOOTH_VALUE, EVERY_MONITOR_BOX: EVERY_MONITOR_VALUE}
# Text on the dialog's black: anything clearly brighter is ink.
INK_TOLERANCE = 48


class ConfigDialogTest(HostedTestCase):

    @classmethod
    def setUpClass(cls) -> None:
        super().setUpClass()
        sample = (REPO / "samples" / "Default.vws").read_bytes()
        for name, background in SCRIPTS.items():
            cls.program_dir.write(name, sample if name == "Default.vws" else
                                  solid_script(background))
        for name in NOT_SCRIPTS:
            cls.program_dir.write(name, "not a script\r\n")

    def setUp(self) -> None:
        choose_script(self.prefix, STORED)
        self.host = self.start_host()

    def combo(self, records):
        combos = [r for r in records if r.kind == "CHILD" and r["class"] == "ComboBox"]
        self.assertEqual(len(combos), 1, f"combo boxes in the dialog: {records}")
        return (combos[0], *list_entries(records))

    def assert_dialog_lists_scripts(self, records):
        window = records[0]
        self.assertEqual(window.kind, "WINDOW")
        self.assertEqual(window["visible"], "1", "dialog visible")
        combo, items, selected = self.combo(records)
        self.assertEqual(sorted(items), sorted(SCRIPTS), "the list holds the .vws files only")
        self.assertEqual(selected, [STORED], "the stored script is selected")
        self.assertEqual(window["focus"], combo["hwnd"], "the script list has the focus")
        return items

    def test_no_switch_lists_scripts_with_stored_one_selected(self):
        _, records = self.open_dialog(self.host)
        self.assert_dialog_lists_scripts(records)
        rect = records[0].rect()
        # Near the middle: the program centres the client area, so the caption lifts the window
        # a little above the screen's centre.
        for axis in (0, 1):
            centre = rect[axis] + rect[axis + 2] / 2
            self.assertLessEqual(abs(centre - self.SCREEN[axis] / 2), 12,
                                 f"dialog {rect} not near the middle of the screen")
        image = self.wait_settled(rect)
        image.save_png(self.artifact("dialog.png"))
        save_docs_image(image, "dialog.png")

    def test_c_switch_shows_the_same_dialog(self):
        for switch in (CONFIG_SWITCH, CONFIG_SWITCH.upper()):
            with self.subTest(switch=switch):
                process, records = self.open_dialog(self.host, switch)
                self.assert_dialog_lists_scripts(records)
                self.close_dialog(process)

    def choose_next(self, records):
        """Moves the selection one entry with the keyboard; returns the name now chosen."""
        items = self.assert_dialog_lists_scripts(records)
        index = items.index(STORED)
        key, chosen = ("Down", items[index + 1]) if index + 1 < len(items) else (
            "Up", items[index - 1])
        self.desktop.key(key)
        seen = [None]

        def moved():
            seen[0] = self.combo(self.host.window(CONFIG_CAPTION))[2]
            return seen[0] == [chosen]
        try:
            wait_until(moved, 5, what=f"{chosen} to be selected")
        except HarnessError:
            self.fail(f"{key} in the list selected {seen[0]}, expected {chosen} (list {items})")
        return chosen

    def test_enter_stores_the_chosen_script_and_the_saver_plays_it(self):
        process, records = self.open_dialog(self.host)
        chosen = self.choose_next(records)
        self.desktop.key("Return")
        self.assertEqual(self.wait_exit(process, 5, "Enter"), 0, "exit status")
        self.assertEqual(self.host.window(CONFIG_CAPTION), [], "dialog still open")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, SCRIPT_VALUE), chosen)

        self.desktop.mousemove(self.SCREEN[0] // 2, self.SCREEN[1] // 2)
        saver = self.start(SAVER_SWITCH)
        self.wait_shown(saver)
        self.assert_background(SCRIPTS[chosen], "chosen.png")

    def test_escape_stores_nothing(self):
        process, records = self.open_dialog(self.host)
        self.choose_next(records)
        self.desktop.key("Escape")
        self.assertEqual(self.wait_exit(process, 5, "Escape"), 0, "exit status")
        self.assertEqual(self.host.window(CONFIG_CAPTION), [], "dialog still open")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, SCRIPT_VALUE), STORED)

    def test_ok_stores_a_selection_the_dialog_was_not_told_of(self):
        process, records = self.open_dialog(self.host)
        combo, items, _ = self.combo(records)
        chosen = next(name for name in items if name != STORED)
        # As another program selects, or on some systems the keyboard in a closed list: no
        # notification reaches the dialog.
        answer = self.host.ask(f"setcursel {combo['hwnd']} {items.index(chosen)}")
        self.assertEqual(answer[0]["result"], str(items.index(chosen)), "CB_SETCURSEL")
        self.desktop.key("Return")
        self.assertEqual(self.wait_exit(process, 5, "Enter"), 0, "exit status")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, SCRIPT_VALUE), chosen)

    def test_opened_list_is_as_wide_as_the_longest_name_needs(self):
        screen_width = self.SCREEN[0]
        for names, fits_on_screen in ((ALIKE_NAMES, True), (ALIKE_NAMES + [ENDLESS_NAME], False)):
            with self.subTest(names=len(names)):
                for name in names:
                    self.program_dir.write(name, solid_script("000000"))
                    self.addCleanup(self.program_dir.remove, name)
                process, _ = self.open_dialog(self.host)
                try:
                    self.desktop.key("F4")
                    lists = wait_until(lambda: [r for r in self.host.ask("openlist " +
                                                                         CONFIG_CAPTION)
                                                if r.kind == "LIST"], 5, what="the opened list")
                finally:
                    self.close_dialog(process)
                self.assertEqual(len(lists), 1, f"opened lists: {lists}")
                width = lists[0].rect()[2]
                inside = parse_rect(lists[0]["client"])[0]
                longest = max(self.text_width(name) for name in names)
                print(f"\n  longest name {longest} px: the list {width} px wide, {inside} px "
                      "inside")
                if fits_on_screen:
                    # The list draws its text a pixel in from each side.
                    self.assertGreaterEqual(inside, longest + 2, "room for the longest name")
                else:
                    self.assertEqual(width, screen_width, "as wide as the screen, no wider")

    def controls(self, records):
        """The dialog's controls in tab order, as the tests expect it: the list, the two
        boxes, OK and Cancel."""
        buttons = {r["title"]: r for r in records if r.kind == "CHILD" and r["class"] == "Button"}
        combo, _, _ = self.combo(records)
        return [combo] + [buttons[title] for title in (SMOOTH_BOX, EVERY_MONITOR_BOX, "&OK",
                                                       "&Cancel")]

    def store_options(self, smooth: str, every_monitor: str) -> None:
        self.prefix.reg_set(SETTING_KEY, OPTION_VALUES[SMOOTH_BOX], smooth)
        self.prefix.reg_set(SETTING_KEY, OPTION_VALUES[EVERY_MONITOR_BOX], every_monitor)
        for name in OPTION_VALUES.values():
            self.addCleanup(self.prefix.reg_delete, SETTING_KEY, name)

    def stored_options(self) -> tuple:
        return tuple(self.prefix.reg_get(SETTING_KEY, name) for name in OPTION_VALUES.values())

    def press_until(self, key: str, accept, what: str):
        """Presses key once and returns the dialog's records once accept(records) holds."""
        self.desktop.key(key)
        seen = [None]

        def done():
            seen[0] = self.host.window(CONFIG_CAPTION)
            return accept(seen[0])
        try:
            wait_until(done, 5, what=what)
        except HarnessError:
            self.fail(f"{what} after {key}: records {seen[0]}")
        return seen[0]

    def tab_to(self, control, what: str):
        return self.press_until("Tab", lambda r: r[0]["focus"] == control["hwnd"],
                                f"the focus on {what}")

    def test_boxes_show_the_stored_options_tab_goes_through_them_and_enter_on_one_stores(self):
        self.store_options("1", "0")
        process, records = self.open_dialog(self.host)
        self.assert_dialog_lists_scripts(records)  # the list has the focus
        combo, smooth, every_monitor, ok, cancel = self.controls(records)
        self.assertEqual((smooth["checked"], every_monitor["checked"]), ("1", "0"),
                         "the boxes show the stored options")
        for control, what in ((smooth, SMOOTH_BOX), (every_monitor, EVERY_MONITOR_BOX),
                              (ok, "OK"), (cancel, "Cancel"), (combo, "the list")):
            self.tab_to(control, what)
        self.tab_to(smooth, SMOOTH_BOX)
        self.tab_to(every_monitor, EVERY_MONITOR_BOX)
        self.press_until("space", lambda r: self.controls(r)[2]["checked"] == "1",
                         "the box turned on")
        self.desktop.key("Return")
        self.assertEqual(self.wait_exit(process, 5, "Enter on a box"), 0, "exit status")
        self.assertEqual(self.stored_options(), ("1", "1"))
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, SCRIPT_VALUE), STORED)

    def test_escape_on_a_box_stores_nothing(self):
        self.store_options("0", "1")
        process, records = self.open_dialog(self.host)
        _, smooth, _, _, _ = self.controls(records)
        self.tab_to(smooth, SMOOTH_BOX)
        self.press_until("space", lambda r: self.controls(r)[1]["checked"] == "1",
                         "the box turned on")
        self.desktop.key("Escape")
        self.assertEqual(self.wait_exit(process, 5, "Escape on a box"), 0, "exit status")
        self.assertEqual(self.stored_options(), ("0", "1"))

    def test_boxes_lie_in_the_lists_column_below_the_buttons_white_on_black(self):
        _, records = self.open_dialog(self.host)
        combo, smooth, every_monitor, ok, cancel = (r.rect() for r in self.controls(records))
        window = records[0].rect()
        # Where the design puts them, in pixels at 96 DPI, from the list: the buttons have not
        # moved.
        self.assertEqual((ok[0] - combo[0], ok[1] - combo[1]), (41, 31), "OK from the list")
        self.assertEqual((cancel[0] - combo[0], cancel[1] - combo[1]), (111, 31),
                         "Cancel from the list")
        buttons_bottom = max(ok[1] + ok[3], cancel[1] + cancel[3])
        previous_bottom = buttons_bottom
        image = self.wait_settled(window)
        for box, title in ((smooth, SMOOTH_BOX), (every_monitor, EVERY_MONITOR_BOX)):
            x, y, w, h = box
            self.assertEqual(x, combo[0], f"{title} in the list's column")
            self.assertGreaterEqual(y, previous_bottom, f"{title} below the buttons")
            self.assertLessEqual(y + h, window[1] + window[3], f"{title} inside the dialog")
            previous_bottom = y + h
            # The caption, right of the square, white on black and not cut by the box's edge.
            caption = (x + 20, y, w - 20, h)
            ink = image.bbox_differing(BLACK, INK_TOLERANCE, caption)
            self.assertIsNotNone(ink, f"no caption drawn in {title} at {box}")
            brightest = max((rgb for _, _, rgb in image.differing_pixels(
                BLACK, INK_TOLERANCE, caption)), key=sum)
            self.assertTrue(is_whiteish(brightest), f"{title}'s caption {brightest}, not white")
            self.assertLess(ink[0] + ink[2], x + w - 2, f"{title}'s caption cut at {box}")
            self.assertTrue(colour_close(image.pixel(x + w - 1, y + 1), BLACK, FILL_TOLERANCE),
                            f"{title}'s background {image.pixel(x + w - 1, y + 1)}")
        self.assertLessEqual(window[1] + window[3] - previous_bottom, 12,
                             "the dialog grows to fit the boxes, no more")

    def text_width(self, text: str) -> int:
        """The width of text in the list's font, in pixels."""
        return self.host.ask("\t".join(("textwidth",) + LIST_FONT + (text,)))[0].number("width")


if __name__ == "__main__":
    unittest.main()
