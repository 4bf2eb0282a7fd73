"""The Linux program on Wayland, as in a user's session: under headless sway (wlroots, with its
layer shell) the roll rises on the primary output at the script's speed and the other output is
dark; with --smooth each refresh shows a new frame; a scale-2 output shows the text at twice the
pixels; a key, a button, a pointer move and the end signals end it; --window is an ordinary
window that closing ends; a compositor that goes away ends it with status 1 and a word why.
Under headless Mutter (GNOME's compositor, no layer shell) it is a fullscreen xdg_toplevel; there
the program's own trace of the protocol (WAYLAND_DEBUG) tells what it did, with no screenshots.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_wayland
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import math
import signal
import time
import unittest

from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import SCRIPT_OPTION, script_text
from velloway_e2e.roll import BACK, BLOCK, INK_TOLERANCE, STEP_PX, text
from velloway_e2e.compositors import Mutter, Sway
from velloway_e2e.wayland import VirtualPointer, WaylandTestCase
from velloway_e2e.wayland_trace import buffer_sizes, damage, frames, surface_on

PRIMARY, OTHER = "HEADLESS-1", "HEADLESS-2"
HEADER = ("HEADER", "20", "3", "MID", BACK)
# One line rising alone for a long while: at speed 3, 50 px a second.
RISING = (HEADER, text(BLOCK * 4, spacing="40"), ("WAIT", "30"))
PX_PER_SECOND = 50


def ink_box(image):
    return image.bbox_differing(BACK, INK_TOLERANCE)


def rising_tops(boxes, size):
    """[(time in ms, top)] of the areas a lone moving line damages, beside full repaints."""
    width, height = size
    return [(at, y) for at, (x, y, w, h) in boxes if w < width and h < height // 2]


class SwayTest(WaylandTestCase):
    COMPOSITOR = Sway

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Headless sway has no pointer of its own: with this one the seat has a pointer.
        cls.pointer = cls.class_resources.enter_context(VirtualPointer(cls.compositor))

    def shown(self, process, output=PRIMARY):
        try:
            return self.compositor.wait_covered(output, BACK)
        except HarnessError as e:
            self.fail(f"{e} ({process.ending()})")

    def wait_line(self, output, accept=lambda box: True, timeout=10):
        """The output's picture once a line shows on it as accept wants it."""
        return self.compositor.wait_output(
            output, lambda image: ink_box(image) is not None and accept(ink_box(image)), timeout,
            f"a line on {output}")

    def test_the_roll_rises_at_the_scripts_speed_on_the_primary_output_and_the_other_is_dark(self):
        for primary, other, options in ((PRIMARY, OTHER, ()), (OTHER, PRIMARY, ("--output", OTHER))):
            with self.subTest(primary=primary):
                process = self.start_playing(RISING, *options, trace=True)
                self.shown(process, primary)
                self.shown(process, other)
                _, height = Sway.OUTPUT_SIZE
                # Wholly on the screen, then rising for three seconds more.
                self.wait_line(primary, lambda box: box[1] + box[3] < height - 20)
                time.sleep(3)
                self.assertIsNone(ink_box(self.compositor.capture(other)), f"{other} shows a line")
                self.assertIsNotNone(ink_box(self.compositor.capture(primary)))
                process.terminate()
                self.assertEqual(process.wait_exit(3), 0)
                trace = self.trace(process)
                tops = rising_tops(damage(trace, surface_on(trace, primary)), Sway.OUTPUT_SIZE)
                steps = {a - b for (_, a), (_, b) in zip(tops, tops[1:])}
                # Two steps in one frame when the compositor held every buffer at a tick.
                self.assertTrue(steps <= {STEP_PX, 2 * STEP_PX}, f"the line's steps: {steps}")
                (t0, top0), (t1, top1) = tops[0], tops[-1]
                speed = (top0 - top1) * 1000 / (t1 - t0)
                print(f"\n  {primary}: rose {top0 - top1} px in {(t1 - t0) / 1000:.2f} s: "
                      f"{speed:.1f} px/s", flush=True)
                self.assertAlmostEqual(speed, PX_PER_SECOND, delta=2.5)

    def test_smooth_each_frame_the_compositor_shows_is_a_new_one(self):
        process = self.start_playing(RISING, "--smooth", trace=True)
        self.shown(process)
        _, height = Sway.OUTPUT_SIZE
        self.wait_line(PRIMARY, lambda box: box[1] + box[3] < height - 20)
        time.sleep(2)
        process.terminate()
        self.assertEqual(process.wait_exit(3), 0)
        trace = self.trace(process)
        # The frames from the first in which the line moved to the last: it rose all along.
        shown = frames(trace, surface_on(trace, PRIMARY))
        moved = [i for i, (_, areas) in enumerate(shown)
                 if areas and all(w < Sway.OUTPUT_SIZE[0] for _, _, w, _ in areas)]
        shown = shown[moved[0]:moved[-1] + 1] if moved else []
        rising = [(at, areas) for at, areas in shown if areas]
        held = len(shown) - len(rising)
        print(f"\n  {len(shown)} frames told, {len(rising)} with the line moved, {held} held",
              flush=True)
        self.assertGreater(len(rising), 60, "frames in which the line moved")
        # A tick late on a loaded machine may hold the roll, and a frame with it, now and then.
        self.assertLessEqual(held, len(shown) // 50, "frames that showed the one before again")
        tops = [(at, min(y for _, y, _, _ in areas)) for at, areas in rising]
        moves = [(a - b, t1 - t0) for (t0, a), (t1, b) in zip(tops, tops[1:])]
        # At 50 px a second, at most what the time since the frame before allows and a pixel for
        # the rounding: 2 a frame at 60 frames a second, more after a frame the compositor, busy,
        # did not tell of.
        self.assertTrue(all(0 <= move <= math.ceil(PX_PER_SECOND * ms / 1000) + 1
                            for move, ms in moves), f"moves a frame (px, ms): {moves}")
        self.assertGreater(sum(1 for move, _ in moves if move > 0), len(moves) // 2,
                           f"the line stood still in most frames: {moves}")

    def test_a_scale_2_output_shows_the_text_at_twice_the_pixels(self):
        self.compositor.set_scale(PRIMARY, 2)
        self.addCleanup(self.compositor.set_scale, PRIMARY, 1)
        # Beside it, the same line on a scale-1 output, as large to the eye.
        process = self.start_playing(RISING, "--every-monitor", trace=True)
        self.shown(process)
        _, height = Sway.OUTPUT_SIZE
        on_screen = lambda box: box[1] + box[3] < height - 20  # noqa: E731
        primary = ink_box(self.wait_line(PRIMARY, on_screen))
        other = ink_box(self.wait_line(OTHER, on_screen))
        print(f"\n  the line at scale 2: {primary[2]}x{primary[3]} px; at scale 1: "
              f"{other[2]}x{other[3]} px", flush=True)
        # Each drawn at its own size: the hinted glyphs round a little differently.
        for got, single in ((primary[2], other[2]), (primary[3], other[3])):
            self.assertAlmostEqual(got, 2 * single, delta=0.1 * got, msg=f"{primary} / {other}")
        # Drawn in the output's real pixels, not enlarged by the compositor.
        trace = self.trace(process)
        surface = surface_on(trace, PRIMARY)
        self.assertIn("2", [m.args for m in trace if m.sent and m.target == surface
                            and m.name == "set_buffer_scale"])
        self.assertEqual(buffer_sizes(trace, surface), {Sway.OUTPUT_SIZE})

    def test_a_key_a_button_and_a_pointer_move_each_end_it(self):
        width, height = Sway.OUTPUT_SIZE
        ways = {
            "key a": lambda: self.compositor.key("a"),
            "key Shift_L": lambda: self.compositor.key("-k", "Shift_L"),
            "a click": lambda: self.pointer.click(1),
            "a right click": lambda: self.pointer.click(3),
            "a 30 px move": lambda: self.pointer.move(30, 0),
        }
        for what, act in ways.items():
            with self.subTest(what):
                # Over the background, away from the centred line.
                self.pointer.move_to(100, 100, (2 * width, height))
                process = self.start_playing(RISING)
                self.shown(process)
                # The first place the pointer is seen at is no move.
                self.pointer.move(1, 0)
                time.sleep(0.5)
                self.assertTrue(process.is_running(), f"ended before {what}: {process.ending()}")
                act()
                self.assert_ends(process, what)

    def test_sigterm_sigint_and_sighup_end_it(self):
        for sent in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=sent.name):
                process = self.start_playing(RISING)
                self.shown(process)
                process.popen.send_signal(sent)
                self.assert_ends(process, sent.name)

    def test_an_ordinary_window_follows_the_saved_script_until_it_is_closed(self):
        script = self.folder / "Watched.vws"
        script.write_text(script_text(*RISING), encoding="utf-8")
        script.chmod(0o644)
        process = self.start("--window", "--watch", SCRIPT_OPTION, str(script))

        def shows(back):
            # sway tiles it on the output it chooses, below its title bar.
            self.compositor.wait_output(
                None, lambda image: image.count_close(back, 2, step=16)[0] > 100, 10,
                f"the window in {back}")
        shows(BACK)
        saved = "402010"
        script.write_text(script_text(("HEADER", "20", "3", "MID", saved), *RISING[1:]),
                          encoding="utf-8")
        shows(saved)
        self.compositor.key("a")
        self.assertTrue(process.is_running(), "a key ended the ordinary window")
        self.compositor.swaymsg("[app_id=velloway]", "kill")
        self.assert_ends(process, "the window closed")

    def test_an_output_of_no_such_name_is_said(self):
        process = self.start_playing(RISING, "--output", "NOWHERE-9")
        self.assertEqual(self.wait_exit(process, 5, "its start"), 1)
        self.assertEqual(process.reported(), 'velloway: no output is named "NOWHERE-9"; the '
                         f"outputs are {PRIMARY}, {OTHER}")


class OneOutputSway(Sway):
    def __init__(self):
        super().__init__(outputs=1)


class CompositorGoneTest(WaylandTestCase):
    COMPOSITOR = OneOutputSway

    def test_it_ends_with_status_1_and_says_why(self):
        process = self.start_playing(RISING)
        self.compositor.wait_covered(PRIMARY, BACK)
        self.compositor.crash()
        self.assertEqual(self.wait_exit(process, 5, "the compositor's end"), 1)
        said = process.reported()
        self.assertEqual(len(said.splitlines()), 1, said)
        self.assertRegex(said, r"^velloway: lost the Wayland compositor: ")


class MutterTest(WaylandTestCase):
    COMPOSITOR = Mutter

    def test_a_fullscreen_toplevel_covers_the_monitor(self):
        process = self.start_playing(RISING, trace=True)

        def drawn():
            trace = self.trace(process)
            configured = [m for m in trace if m.name == "configure" and m.interface ==
                          "xdg_toplevel" and m.numbers()[:2] == list(Mutter.SIZE)]
            attached = [m for m in trace if m.sent and m.name == "attach"]
            return trace if configured and attached else None
        try:
            trace = wait_until(drawn, 10, what="a buffer after a configure of the monitor's size")
        except HarnessError as e:
            self.fail(f"{e} ({process.ending()})")
        requests = {m.name for m in trace if m.sent}
        self.assertIn("set_fullscreen", requests)
        self.assertNotIn("get_layer_surface", requests)
        surface = next(m.target for m in trace if m.sent and m.name == "attach")
        self.assertEqual(buffer_sizes(trace, surface), {Mutter.SIZE})
        process.terminate()
        self.assertEqual(process.wait_exit(3), 0)


if __name__ == "__main__":
    unittest.main()
