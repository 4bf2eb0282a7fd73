"""Checks of the end-to-end harness itself, against Wine's own Notepad (needs no Velloway build).

Run: python3 -m unittest -v test_harness"""

import ctypes
import time
import unittest
from pathlib import Path

from velloway_e2e import images, program, registry, testcase, xlib
from velloway_e2e.display import Desktop
from velloway_e2e.images import BLACK, Image
from velloway_e2e.processes import processes_with_command, processes_with_env, wait_until
from velloway_e2e.wine import ProgramDir, WinePrefix, randomised


class PureHelpersTest(unittest.TestCase):
    def test_colours(self):
        self.assertEqual(images.colour("ff8000"), (255, 128, 0))
        self.assertTrue(images.colour_close((250, 130, 3), "FF8000", 5))
        self.assertFalse(images.colour_close((240, 128, 0), "FF8000", 5))

    def test_image_bbox_rows_and_png(self):
        width, height = 20, 10
        rgb = bytearray(width * height * 3)
        for x, y in [(5, 3), (12, 4), (7, 8)]:
            i = (y * width + x) * 3
            rgb[i:i + 3] = b"\xff\xff\xff"
        image = Image(width, height, bytes(rgb), origin=(100, 200))
        self.assertEqual(image.bbox_differing(BLACK, 10), (105, 203, 8, 6))
        self.assertEqual(image.ink_rows(BLACK), [203, 204, 208])
        self.assertEqual(images.ink_runs(image.ink_rows(BLACK)), [(203, 204), (208, 208)])
        self.assertEqual(image.pixel(112, 204), (255, 255, 255))
        self.assertEqual(image.count_close(BLACK), (197, 200))
        path = Path(testcase.artifacts_dir()) / "harness-tiny.png"
        image.save_png(path)
        self.assertEqual(path.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")

    def test_reg_file_round_trip(self):
        text = ('Windows Registry Editor Version 5.00\r\n\r\n'
                '[HKEY_CURRENT_USER\\Software\\Velloway\\UpdateInfo]\r\n'
                '"Name"="a \\"quoted\\" \\\\ back"\r\n"Count"=dword:0000002a\r\n'
                '"Bin"=hex:01,02,\\\r\n  03\r\n@="default"\r\n')
        keys = registry.parse_reg_file(text)
        self.assertEqual(keys["HKEY_CURRENT_USER\\Software\\Velloway\\UpdateInfo"],
                         {"Name": 'a "quoted" \\ back', "Count": 42, "Bin": b"\x01\x02\x03",
                          "": "default"})

    def test_script_text(self):
        self.assertEqual(program.script_text(("HEADER", "12", "2", "MID", "FFFFFF"), "# c"),
                         "HEADER\t12\t2\tMID\tFFFFFF\r\n# c\r\n")


class DesktopTest(unittest.TestCase):
    def test_display_capture_pointer_and_stop(self):
        with Desktop(800, 600) as desktop:
            number = int(desktop.display[1:])
            self.assertIn(number, range(70, 90))
            self.assertEqual(desktop.size, (800, 600))
            self.assertEqual(desktop.pixel(10, 10), BLACK)
            desktop.mousemove(100, 120)
            self.assertEqual(desktop.mouse_location(), (100, 120))
            desktop.mousemove_relative(-30, 5)
            self.assertEqual(desktop.mouse_location(), (70, 125))
            self.assertTrue(desktop.cursor_visible())
            self.check_blank_cursor_is_seen(desktop)
            self.assertTrue(desktop.cursor_visible())
            proc = desktop.proc
        self.assertIsNotNone(proc.poll())
        self.assertFalse(Path(f"/tmp/.X{number}-lock").exists())

    def check_blank_cursor_is_seen(self, desktop):
        # An X window with an all-transparent cursor: what a hidden Windows pointer becomes.
        x11, _ = xlib.libs()
        x11.XCreateSimpleWindow.restype = ctypes.c_ulong
        x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 \
            + [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        x11.XCreateBitmapFromData.restype = ctypes.c_ulong
        x11.XCreateBitmapFromData.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_char_p,
                                              ctypes.c_uint, ctypes.c_uint]
        x11.XCreatePixmapCursor.restype = ctypes.c_ulong
        x11.XCreatePixmapCursor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                            ctypes.c_void_p, ctypes.c_void_p,
                                            ctypes.c_uint, ctypes.c_uint]
        x11.XDefineCursor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
        x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        with xlib.XConnection(desktop.display) as connection:
            dpy = connection.dpy
            root = x11.XRootWindow(dpy, x11.XDefaultScreen(dpy))
            window = x11.XCreateSimpleWindow(dpy, root, 0, 0, 800, 600, 0, 0, 0)
            bitmap = x11.XCreateBitmapFromData(dpy, window, b"\0", 1, 1)
            black = (ctypes.c_ushort * 6)()  # XColor: pixel, red, green, blue, flags, pad
            cursor = x11.XCreatePixmapCursor(dpy, bitmap, bitmap, black, black, 0, 0)
            x11.XDefineCursor(dpy, window, cursor)
            x11.XMapRaised(dpy, window)
            x11.XSync(dpy, 0)
            desktop.wait_cursor(visible=False, timeout=5)


class NotepadTest(unittest.TestCase):
    def test_window_input_screen_registry_and_cleanup(self):
        with Desktop(1024, 768) as desktop:
            with WinePrefix(desktop) as prefix:
                wineprefix = str(prefix.path)
                tmp = prefix.tmp
                folder = ProgramDir(prefix)
                win, unix = folder.write("日本語.txt", "Ünï\r\n", "utf-16")
                self.assertEqual(win, "C:\\Velloway\\日本語.txt")
                self.assertEqual(unix.read_bytes()[:2], b"\xff\xfe")
                self.assertEqual(prefix.unix_path(win), unix)

                started = time.monotonic()
                notepad = prefix.start_program("notepad")
                wid = desktop.wait_window("Notepad$", timeout=20, process=notepad)
                print(f"\nnotepad window after {time.monotonic() - started:.2f} s", flush=True)
                self.assertEqual(desktop.window_name(wid), "Untitled - Notepad")
                # Every Wine program of the prefix, the helpers notepad started among them, runs
                # unrandomised (the server is no Wine program).
                programs = set(processes_with_env("WINEPREFIX", wineprefix)) - set(
                    processes_with_command("wineserver"))
                self.assertIn(notepad.pid, programs)
                self.assertEqual([pid for pid in programs if randomised(pid)], [])
                x, y, w, h = desktop.window_geometry(wid)
                self.assertGreater(w, 200)
                edit = (x + 20, y + 60, w - 60, h - 120)  # inside the edit control
                desktop.wait_for_pixel(x + w // 2, y + h // 2, "FFFFFF", 8, timeout=10)
                before = desktop.capture(edit).bbox_differing("FFFFFF", 60)
                self.assertIsNone(before)
                desktop.type("Hello")
                ink = wait_until(lambda: desktop.capture(edit).bbox_differing("FFFFFF", 60),
                                     timeout=5, what="typed text")
                desktop.key("ctrl+a", "BackSpace")
                wait_until(lambda: not desktop.capture(edit).bbox_differing("FFFFFF", 60),
                               timeout=5, what="text erased")
                desktop.type("Hello")
                image = desktop.screenshot(testcase.artifacts_dir() / "harness-notepad.png")
                self.assertEqual((image.width, image.height), (1024, 768))
                self.assertLess(ink[2], 120)

                text = "Ünïcode 日本 \"q\" \\"
                program.choose_script(prefix, text)
                self.assertEqual(prefix.reg_get(program.SETTING_KEY, program.SCRIPT_VALUE), text)
                prefix.reg_add(program.UPDATE_INFO_KEY, "Plain", "abc")
                prefix.reg_set(program.UPDATE_INFO_KEY, "Count", 7)
                self.assertEqual(prefix.reg_values(program.UPDATE_INFO_KEY),
                                 {"Plain": "abc", "Count": 7})
                prefix.reg_delete(program.UPDATE_INFO_KEY, "Plain")
                self.assertEqual(prefix.reg_values(program.UPDATE_INFO_KEY), {"Count": 7})
                prefix.reg_delete(program.VELLOWAY_KEY)
                self.assertIsNone(prefix.reg_values(program.SETTING_KEY))

                self.assertTrue(notepad.is_running())
                notepad.kill()
                self.assertFalse(notepad.is_running())
                desktop.wait_no_window("Notepad$", timeout=5)
            self.assertFalse(tmp.exists())
            self.assertEqual(processes_with_env("WINEPREFIX", wineprefix), [])


if __name__ == "__main__":
    unittest.main()
