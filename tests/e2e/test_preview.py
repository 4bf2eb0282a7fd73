"""The preview, as the Display control panel shows it.

- "/p HWND" makes the preview window cover the host's client area at every DPI (checked through
  the Win32 API from the host program: under Wine a window inside another process's window is
  not drawn), and the preview ends when the host window is destroyed or the host's process dies.
- The preview's picture, shown inside a host of the same process, fills the whole pane, scaled,
  at every DPI.

Run: VELLOWAY_SCR=.../velloway.scr VELLOWAY_PREVIEW_HOST=.../preview_host.exe
     VELLOWAY_PREVIEW_RENDER=.../preview_render.exe python3 -m unittest -v test_preview
(each class is skipped when a program it needs is not named; ctest names them all).
VELLOWAY_DOCS_IMAGES=<directory> also saves preview.png there."""

from __future__ import annotations

import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from velloway_e2e.helper_programs import HostProgram, Record
from velloway_e2e.images import Image, colour_close
from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import PREVIEW_RENDER_ENV, PREVIEW_SWITCH, REPO
from velloway_e2e.testcase import (FILL_TOLERANCE, HostedTestCase, VellowayTestCase,
                                   program_from_env, save_docs_image)

PREVIEW_PICTURE = REPO / "src" / "programs" / "windows" / "resources" / "preview.bmp"
# Both host programs paint their client area in this colour.
HOST_BACKGROUND = (0x30, 0x60, 0x90)
# A form's own background, where nothing covers it.
FORM_BACKGROUND = (0xF0, 0xF0, 0xF0)
# The DPIs a preview is shown at: 100 %, 125 %, 150 % and 200 %.
DPIS = (96, 120, 144, 192)


class PreviewHostTest(HostedTestCase):

    def setUp(self) -> None:
        self.host = self.start_host()

    def start_preview(self, host: HostProgram | None = None):
        """Starts "/p <host>" and returns (process, the preview's record) once it is inside and
        shown: it shows itself once it fills the pane, so earlier looks may catch it on its way."""
        host = host or self.host
        process = self.start(PREVIEW_SWITCH, str(host.hwnd))

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
                child = self.covering(host, child)
                self.assertNotEqual(child.number("pid"), host.pid, "made by velloway.scr")
                shown.append((dpi, process, host, child))
        # They stay while their hosts are there (past a few of their checks on the host).
        time.sleep(1.5)
        for dpi, process, host, child in shown:
            self.assertTrue(process.is_running(), f"the preview at {dpi} dpi ended")
            again = host.preview_child()
            self.assertIsNotNone(again, f"the preview at {dpi} dpi left the host window")
            self.assertEqual(again.rect(), child.rect())

    def covering(self, host: HostProgram, child: Record) -> Record:
        """The preview's record once it covers the host's client area: from when it shows, or,
        should the size it asked for not have been taken, from its next look at the host (every
        half a second)."""
        def covers():
            now = host.preview_child()
            return now if now is not None and now.rect() == host.client else None
        try:
            return wait_until(covers, 1.5, interval=0.1, what="the preview covering the pane")
        except HarnessError:
            self.fail(f"the preview's rectangle {(host.preview_child() or child).rect()} "
                      f"is not the pane's {host.client}")

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
        cls.render_program = program_from_env(PREVIEW_RENDER_ENV)
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


if __name__ == "__main__":
    unittest.main()
