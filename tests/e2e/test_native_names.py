"""Names in the world's scripts on the Linux program, as Pango itself shows them: each line of a
roll of names in Arabic, Hebrew, Devanagari, Thai, Korean, Vietnamese and Latin with combining
marks is compared with pango-view's rendering of the same text in the same face and size, and the
right-to-left names also with the same text forced left to right, unjoined and unordered, as a
renderer that neither shapes nor reorders shows it: ours must be like the first, unlike the second.
A colour emoji shows in its colours, as Pango shows it, beside white text that stays white, and
its line stands where its measured width places it.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_names
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import re
import subprocess
import unittest

from velloway_e2e.images import Image, colour
from velloway_e2e.roll import BACK, INK_TOLERANCE, NativeRollTestCase

FACE = "Arial"
POINTS = 20  # the header's size; each line's size step is 0
NAMES = ["محمد عبد الله", "שלום עליכם", "हिन्दी नाम", "สมชาย ใจดี", "김민준",
         "Nguyễn Thị Hương", "Zoe\u0308 Me\u0301lanie"]
RIGHT_TO_LEFT = NAMES[:2]
LEFT_TO_RIGHT_OVERRIDE = "\u202d"
BIRTHDAY = "\U0001F382 Happy birthday"
# A channel this far from the background's: the ink of a glyph, whatever its antialiased edge.
INK = 0x88
# Channels this far apart are a colour: white text's antialiased edges on the background are at
# most 0x30 apart, as the background itself.
COLOURED = 0x60
# A colour as Pango shows it: each channel of the mean of the coloured pixels within this.
SAME_COLOUR = 16
LIKE, UNLIKE = 0.9, 0.75
# pango-view's margin round its line, in pixels.
MARGIN = 10
# The line's place against its width, within the rounding of the centre and the glyphs' edges.
PLACE_TOLERANCE = 2


def is_ink(pixel):
    return max(abs(c - b) for c, b in zip(pixel, colour(BACK))) >= INK


def is_coloured(pixel):
    return max(pixel) - min(pixel) > COLOURED


def pixels_where(picture, box, accept):
    """The pixels of a box of a picture that accept takes, counted from the box's corner."""
    left, top, width, height = box
    return {(x, y) for y in range(height) for x in range(width)
            if accept(picture.pixel(left + x, top + y))}


def mean_colour(picture, box, points):
    left, top = box[:2]
    pixels = [picture.pixel(left + x, top + y) for x, y in points]
    return tuple(sum(p[channel] for p in pixels) / len(pixels) for channel in range(3))


def likeness(a, b):
    """The share of ink that has ink of the other picture within a pixel, the lesser of the two
    ways round, the pictures placed by their ink boxes' corners: antialiasing and subpixel
    placement may move an edge by a pixel."""
    def near(points, other):
        return sum(1 for x, y in points
                   if any((x + dx, y + dy) in other for dx in (-1, 0, 1) for dy in (-1, 0, 1)))
    return min(near(a, b) / max(1, len(a)), near(b, a) / max(1, len(b)))


class NativeNamesTest(NativeRollTestCase):
    def pixel_size(self):
        """The font's em in pixels as the program sizes it, at the screen's DPI."""
        info = subprocess.run(["xdpyinfo"], env=self.desktop.env, capture_output=True,
                              text=True, check=True).stdout
        pixels, millimetres = re.search(r"dimensions:\s+\d+x(\d+) pixels \(\d+x(\d+) mil",
                                        info).groups()
        dpi = round(int(pixels) * 25.4 / int(millimetres))
        return round(POINTS * dpi / 72)

    def pango_view(self, text, pixels, name):
        """Pango's rendering of text, white on our background, and its ink box."""
        path = self.artifact(f"{name}.png")
        subprocess.run(["pango-view", f"--font={FACE} {pixels}", "--dpi=72", f"--text={text}",
                        "-o", str(path), f"--background=#{BACK}", "--foreground=white",
                        f"--margin={MARGIN}", "-q"], check=True, env=self.desktop.env)
        size = subprocess.run(["identify", "-format", "%w %h", str(path)], capture_output=True,
                              text=True, check=True).stdout
        width, height = map(int, size.split())
        rgb = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], capture_output=True,
                             check=True).stdout
        picture = Image(width, height, rgb)
        return picture, picture.bbox_differing(BACK, INK_TOLERANCE)

    def likeness_to_pango(self, text, pixels, name, screen, box):
        picture, pango_box = self.pango_view(text, pixels, name)
        return likeness(pixels_where(screen, box, is_ink),
                        pixels_where(picture, pango_box, is_ink))

    def test_each_name_shows_as_pango_shows_it(self):
        records = [("TEXT", FACE, "0", name, "FFFFFF", "1.5") for name in NAMES]
        self.run_script(*records, ("WAIT", "30"))
        self.wait_still(0.5)
        screen = self.desktop.screenshot(self.artifact("names.png"))
        boxes = self.line_boxes(screen)
        self.assertEqual(len(boxes), len(NAMES), f"lines on screen: {boxes}")
        pixels = self.pixel_size()
        for index, (name, box) in enumerate(zip(NAMES, boxes)):
            with self.subTest(name=name):
                shown = self.likeness_to_pango(name, pixels, f"{index}-pango", screen, box)
                forced = None
                if name in RIGHT_TO_LEFT:
                    forced = self.likeness_to_pango(LEFT_TO_RIGHT_OVERRIDE + name, pixels,
                                                    f"{index}-forced", screen, box)
                print(f"\n{name}: {shown:.2f} like Pango's rendering"
                      + (f", {forced:.2f} like it forced left to right" if forced else ""),
                      flush=True)
                self.assertGreater(shown, LIKE, "unlike Pango's rendering")
                if forced is not None:
                    self.assertLess(forced, UNLIKE, "like the name forced left to right")

    def test_a_colour_emoji_shows_in_its_colours(self):
        self.run_script(("TEXT", FACE, "0", BIRTHDAY, "FFFFFF", "1.5"), ("WAIT", "30"))
        self.wait_still(0.5)
        screen = self.desktop.screenshot(self.artifact("birthday.png"))
        boxes = self.line_boxes(screen)
        self.assertEqual(len(boxes), 1, f"lines on screen: {boxes}")
        box = boxes[0]
        pango, pango_box = self.pango_view(BIRTHDAY, self.pixel_size(), "birthday-pango")
        ours = pixels_where(screen, box, is_coloured)
        self.assertTrue(ours, "no coloured pixel: the emoji is not in its colours")
        theirs = pixels_where(pango, pango_box, is_coloured)
        shown = likeness(ours, theirs)
        hue, pango_hue = mean_colour(screen, box, ours), mean_colour(pango, pango_box, theirs)
        print(f"\nthe emoji: {shown:.2f} like Pango's, mean colour "
              f"{tuple(map(round, hue))} (Pango's {tuple(map(round, pango_hue))})", flush=True)
        self.assertGreater(shown, LIKE, "the emoji unlike Pango's")
        for channel, pango_channel in zip(hue, pango_hue):
            self.assertLessEqual(abs(channel - pango_channel), SAME_COLOUR,
                                 "the emoji's colours unlike Pango's")
        self.assertGreater(likeness(pixels_where(screen, box, is_ink),
                                    pixels_where(pango, pango_box, is_ink)), LIKE,
                           "the line unlike Pango's rendering")
        # The text right of the emoji stays white.
        left, top, width, height = box
        emoji_end = max(x for x, _ in ours) + 1
        text = pixels_where(screen, (left + emoji_end, top, width - emoji_end, height), is_ink)
        self.assertGreaterEqual(max((min(screen.pixel(left + emoji_end + x, top + y))
                                     for x, y in text), default=0), 0xF0,
                                "the text beside the emoji is not white")
        # Centred by its measured width: where Pango's width of the line places its ink.
        want = (self.SCREEN[0] - (pango.width - 2 * MARGIN)) // 2 + pango_box[0] - MARGIN
        self.assertLessEqual(abs(left - want), PLACE_TOLERANCE,
                             f"the line's ink starts at {left}, want {want}: its width is not "
                             f"the width of what is drawn")


if __name__ == "__main__":
    unittest.main()
