"""The settings dialog and the preview, as a user and the Display control panel meet them.

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
- "/p HWND" makes the preview window cover the host's client area at every DPI (checked through
  the Win32 API from the host program: under Wine a window inside another process's window is
  not drawn), and the preview ends when the host window is destroyed or the host's process dies.
- The preview's picture, shown inside a host of the same process, fills the whole pane, scaled,
  at every DPI.

The host program (preview_host.exe) also reads and drives other programs' windows for the
tests: the dialog's list entries, its selection, its focus and its opened list.

Run: VELLOWAY_SCR=.../velloway.scr VELLOWAY_PREVIEW_HOST=.../preview_host.exe
     VELLOWAY_PREVIEW_RENDER=.../preview_render.exe python3 -m unittest -v test_dialog_preview
(each class is skipped when a program it needs is not named; ctest names them all).
VELLOWAY_DOCS_IMAGES=<directory> also saves dialog.png, preview.png and saver.png there."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from velloway_e2e.helper_programs import HostProgram, Record, parse_rect
from velloway_e2e.images import BLACK, Image, colour, colour_close, is_whiteish
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import (CONFIG_CAPTION, CONFIG_CAPTION_RE, MAIN_CAPTION_RE, REPO,
                                  SETTING_KEY, solid_script)
from velloway_e2e.testcase import (FILL_TOLERANCE, HostedTestCase, VellowayTestCase,
                                   program_from_env)

RENDER_ENV = "VELLOWAY_PREVIEW_RENDER"
DOCS_ENV = "VELLOWAY_DOCS_IMAGES"

PREVIEW_PICTURE = REPO / "src" / "platform" / "win32" / "resources" / "preview.bmp"
# Both host programs paint their client area in this colour.
HOST_BACKGROUND = (0x30, 0x60, 0x90)
# A form's own background, where nothing covers it.
FORM_BACKGROUND = (0xF0, 0xF0, 0xF0)
# The DPIs a preview is shown at: 100 %, 125 %, 150 % and 200 %.
DPIS = (96, 120, 144, 192)


def save_docs_image(image: Image, name: str) -> None:
    """Also writes a screenshot for the README when VELLOWAY_DOCS_IMAGES names a directory."""
    directory = os.environ.get(DOCS_ENV)
    if directory:
        image.save_png(Path(directory) / name)


# ---------------------------------------------------------------------------------------------
# The settings dialog

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
OPTION_VALUES = {SMOOTH_BOX: "SmoothMotion", EVERY_MONITOR_BOX: "EveryMonitor"}
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
        self.prefix.reg_set(SETTING_KEY, "ScriptFileName", STORED)
        self.host = self.start_host()

    def open_dialog(self, *args: str):
        """Starts the program and returns (process, dialog records) once the dialog shows."""
        process = self.start(*args)
        try:
            self.desktop.wait_window(CONFIG_CAPTION_RE, timeout=20, process=process)
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("no-dialog.png"))
            self.fail(str(e))
        self.addCleanup(self.close_dialog, process)
        return process, self.activated_dialog(self.host)

    def close_dialog(self, process):
        process.kill()
        self.desktop.wait_no_window(CONFIG_CAPTION_RE, timeout=5)

    def combo(self, records):
        combos = [r for r in records if r.kind == "CHILD" and r["class"] == "ComboBox"]
        self.assertEqual(len(combos), 1, f"combo boxes in the dialog: {records}")
        items = [r for r in records if r.kind == "ITEM"]
        selected = [r["text"] for r in items if r["selected"] == "1"]
        return combos[0], [r["text"] for r in items], selected

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
        _, records = self.open_dialog()
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
        for switch in ("/c", "/C"):
            with self.subTest(switch=switch):
                process, records = self.open_dialog(switch)
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
        process, records = self.open_dialog()
        chosen = self.choose_next(records)
        self.desktop.key("Return")
        self.assertEqual(self.wait_exit(process, 5, "Enter"), 0, "exit status")
        self.assertEqual(self.host.window(CONFIG_CAPTION), [], "dialog still open")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, "ScriptFileName"), chosen)

        self.desktop.mousemove(self.SCREEN[0] // 2, self.SCREEN[1] // 2)
        saver = self.start("/s")
        self.desktop.wait_window(MAIN_CAPTION_RE, timeout=20, process=saver)
        self.assert_saver_background(SCRIPTS[chosen], "chosen.png")

    def test_escape_stores_nothing(self):
        process, records = self.open_dialog()
        self.choose_next(records)
        self.desktop.key("Escape")
        self.assertEqual(self.wait_exit(process, 5, "Escape"), 0, "exit status")
        self.assertEqual(self.host.window(CONFIG_CAPTION), [], "dialog still open")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, "ScriptFileName"), STORED)

    def test_ok_stores_a_selection_the_dialog_was_not_told_of(self):
        process, records = self.open_dialog()
        combo, items, _ = self.combo(records)
        chosen = next(name for name in items if name != STORED)
        # As another program selects, or on some systems the keyboard in a closed list: no
        # notification reaches the dialog.
        answer = self.host.ask(f"setcursel {combo['hwnd']} {items.index(chosen)}")
        self.assertEqual(answer[0]["result"], str(items.index(chosen)), "CB_SETCURSEL")
        self.desktop.key("Return")
        self.assertEqual(self.wait_exit(process, 5, "Enter"), 0, "exit status")
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, "ScriptFileName"), chosen)

    def test_opened_list_is_as_wide_as_the_longest_name_needs(self):
        screen_width = self.SCREEN[0]
        for names, fits_on_screen in ((ALIKE_NAMES, True), (ALIKE_NAMES + [ENDLESS_NAME], False)):
            with self.subTest(names=len(names)):
                for name in names:
                    self.program_dir.write(name, solid_script("000000"))
                    self.addCleanup(self.program_dir.remove, name)
                process, _ = self.open_dialog()
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
        process, records = self.open_dialog()
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
        self.assertEqual(self.prefix.reg_get(SETTING_KEY, "ScriptFileName"), STORED)

    def test_escape_on_a_box_stores_nothing(self):
        self.store_options("0", "1")
        process, records = self.open_dialog()
        _, smooth, _, _, _ = self.controls(records)
        self.tab_to(smooth, SMOOTH_BOX)
        self.press_until("space", lambda r: self.controls(r)[1]["checked"] == "1",
                         "the box turned on")
        self.desktop.key("Escape")
        self.assertEqual(self.wait_exit(process, 5, "Escape on a box"), 0, "exit status")
        self.assertEqual(self.stored_options(), ("0", "1"))

    def test_boxes_lie_in_the_lists_column_below_the_buttons_white_on_black(self):
        _, records = self.open_dialog()
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


# ---------------------------------------------------------------------------------------------
# The preview in another program's window

class PreviewHostTest(HostedTestCase):

    def setUp(self) -> None:
        self.host = self.start_host()

    def start_preview(self, host: HostProgram | None = None):
        """Starts "/p <host>" and returns (process, the preview's record) once it is inside and
        shown: it shows itself once it fills the pane, so earlier looks may catch it on its way."""
        host = host or self.host
        process = self.start("/p", str(host.hwnd))

        def shown_child():
            child = host.preview_child()
            if child is not None and child["visible"] == "1":
                return child
            return None if process.is_running() else "ended"
        try:
            child = wait_until(shown_child, 10, interval=0.1,
                               what="the preview shown inside the host window")
        except HarnessError as e:
            self.fail(f"{e} (children {host.children()})")
        if child == "ended":
            self.fail(f"the preview ended at once (status {process.returncode}) without showing")
        return process, child

    def test_preview_covers_the_host_client_area_at_every_dpi(self):
        self.addCleanup(self.prefix.set_dpi, 96)
        shown = []
        for dpi in DPIS:
            with self.subTest(dpi=dpi):
                self.prefix.set_dpi(dpi)
                host = self.start_host()  # its frame, and so its pane, follows the DPI too
                process, child = self.start_preview(host)
                self.assertEqual(child.number("parent"), host.hwnd, "GetParent(preview)")
                self.assertEqual(child.rect(), host.client, "the preview's rectangle on the screen")
                self.assertNotEqual(child.number("pid"), host.pid, "made by velloway.scr")
                shown.append((dpi, process, host, child))
        # They stay while their hosts are there (past a few of their checks on the host).
        time.sleep(1.5)
        for dpi, process, host, child in shown:
            self.assertTrue(process.is_running(), f"the preview at {dpi} dpi ended")
            again = host.preview_child()
            self.assertIsNotNone(again, f"the preview at {dpi} dpi left the host window")
            self.assertEqual(again.rect(), child.rect())

    def test_destroying_the_host_window_ends_the_preview(self):
        process, _ = self.start_preview()
        started = time.monotonic()
        self.host.destroy_window()
        self.assertEqual(self.wait_exit(process, 5, "host window destroyed"), 0, "exit status")
        self.assertTrue(self.host.is_running(), "the host program itself must still run")
        print(f"\n  preview ended {time.monotonic() - started:.2f} s after DestroyWindow(host)")

    def test_killing_the_host_process_ends_the_preview(self):
        process, _ = self.start_preview()
        started = time.monotonic()
        self.host.kill()
        # It looks for its host every 500 ms.
        self.assertEqual(self.wait_exit(process, max(0.0, started + 2.5 - time.monotonic()),
                                        "host process killed"), 0, "exit status")
        print(f"\n  preview ended {time.monotonic() - started:.2f} s after the host was killed")


# ---------------------------------------------------------------------------------------------
# The preview's picture, shown in a host of the same process

def reference_picture() -> Image:
    """preview.bmp as RGB, decoded by ImageMagick (not by the GDI under test)."""
    done = subprocess.run(["convert", str(PREVIEW_PICTURE), "-depth", "8", "rgb:-"],
                          capture_output=True, timeout=30, check=True)
    size = subprocess.run(["identify", "-format", "%w %h", str(PREVIEW_PICTURE)],
                          capture_output=True, timeout=30, check=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    return Image(width, height, done.stdout)


def read_ppm(path: Path, origin=(0, 0)) -> Image:
    data = path.read_bytes()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise HarnessError(f"{path} is not a binary PPM")
    width, height = int(header.group(1)), int(header.group(2))
    return Image(width, height, data[header.end():header.end() + width * height * 3], origin)


class PreviewPictureTest(VellowayTestCase):
    SCREEN = (1280, 720)

    @classmethod
    def setUpClass(cls) -> None:
        cls.render_program = program_from_env(RENDER_ENV)
        if shutil.which("convert") is None:
            raise unittest.SkipTest("ImageMagick's convert is needed to read preview.bmp")
        super().setUpClass()

    def render(self, name: str):
        """Runs preview_render (holding its windows 2 s) and returns (process, its HOST and
        PREVIEW records, the host's client area read back through GDI)."""
        ppm = self.artifact(name)
        ppm.unlink(missing_ok=True)
        process = self.prefix.start_program(self.render_program, self.prefix.windows_path(ppm),
                                            "2000")
        self.addCleanup(process.kill)
        try:
            wait_until(lambda: "CAPTURED" in process.output()[0] or not process.is_running(),
                       20, what="preview_render to capture")
        except HarnessError as e:
            self.fail(f"{e}: output {process.output()}")
        out = process.output()[0]
        self.assertIn("CAPTURED", out, f"preview_render: {out!r}")
        records = {r.kind: r for r in map(Record, out.splitlines())}
        return process, records["HOST"], records["PREVIEW"], read_ppm(ppm)

    def test_preview_fills_its_pane_with_the_picture_at_every_dpi(self):
        self.addCleanup(self.prefix.set_dpi, 96)
        picture = reference_picture()
        right, bottom = picture.width - 1, picture.height - 1
        for dpi in DPIS:
            with self.subTest(dpi=dpi):
                self.prefix.set_dpi(dpi)
                process, host, preview, client = self.render(f"host-client-{dpi}.ppm")
                self.assertEqual(preview.number("parent"), host.number("hwnd"),
                                 "GetParent(preview)")
                self.assertEqual(preview.rect(), host.rect("client"), "the preview's rectangle")
                self.assertEqual(preview["visible"], "1")

                # What GDI reads back from the host's client area: the picture, scaled to fill.
                for background, whose in ((FORM_BACKGROUND, "the form's"),
                                          (HOST_BACKGROUND, "the host's")):
                    uncovered, _ = client.count_close(background)
                    self.assertEqual(uncovered, 0, f"pixels of the pane in {whose} background")
                w, h = client.width - 1, client.height - 1
                for (x, y), corner in (((0, 0), (0, 0)), ((w, 0), (right, 0)),
                                       ((0, h), (0, bottom)), ((w, h), (right, bottom))):
                    self.assertTrue(colour_close(client.pixel(x, y), picture.pixel(*corner),
                                                 FILL_TOLERANCE),
                                    f"pane's pixel {(x, y)} {client.pixel(x, y)}, the picture's "
                                    f"corner {picture.pixel(*corner)}")

                # What reaches the screen is what GDI read back.
                cx, cy, cw, ch = host.rect("client")
                seen = [None]

                def on_screen():
                    seen[0] = self.desktop.capture((cx, cy, cw, ch))
                    return seen[0].rgb == client.rgb
                try:
                    wait_until(on_screen, 5, interval=0.1, what="the picture on the screen")
                except HarnessError:
                    seen[0].save_png(self.artifact(f"screen-{dpi}.png"))
                    self.fail("the screen differs from what GDI read back")
                seen[0].save_png(self.artifact(f"preview-{dpi}.png"))
                if dpi == 96:
                    save_docs_image(seen[0], "preview.png")
                self.assertEqual(process.wait_exit(20), 0, "preview_render's exit status")

    def test_preview_ends_when_its_host_is_gone(self):
        # Killing a host's process under Wine destroys the preview's window too, which ends the
        # program by itself; here the preview's window outlives its host, so only the preview's
        # own look at its host (every 500 ms) can end the program.
        process = self.prefix.start_program(self.render_program, "--host-gone")
        self.addCleanup(process.kill)
        try:
            wait_until(lambda: "HOST GONE" in process.output()[0] or not process.is_running(),
                       20, interval=0.02, what="preview_render to destroy its host")
        except HarnessError as e:
            self.fail(f"{e}: output {process.output()}")
        gone = time.monotonic()
        self.assertIn("HOST GONE", process.output()[0], f"preview_render: {process.output()}")
        try:
            status = process.wait_exit(2.0)
        except HarnessError:
            self.fail("still running 2 s after its host window was destroyed")
        out = process.output()[0]
        self.assertNotIn("STILL RUNNING", out)
        self.assertEqual(status, 0, f"exit status; output {out!r}")
        print(f"\n  ended {time.monotonic() - gone:.2f} s after the host was destroyed")


# ---------------------------------------------------------------------------------------------
# The shipped sample, a few seconds in

class SampleRollTest(VellowayTestCase):
    # Small enough for several lines of the roll to show in the README's picture.
    SCREEN = (960, 540)

    def test_default_sample_rolls_on_its_background(self):
        self.set_script("Default.vws", (REPO / "samples" / "Default.vws").read_bytes())
        width, height = self.SCREEN
        self.desktop.mousemove(width // 2, height // 2)
        process = self.start("/s")
        self.desktop.wait_window(MAIN_CAPTION_RE, timeout=20, process=process)
        background = colour("05102A")
        self.desktop.wait_for_pixel(4, 4, background, FILL_TOLERANCE, timeout=10)
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
