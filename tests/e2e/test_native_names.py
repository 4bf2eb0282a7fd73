"""Names in the world's scripts on the Linux program, as Pango itself shows them: each line of a
roll of names in Arabic, Hebrew, Devanagari, Thai, Korean, Vietnamese and Latin with combining
marks, and of two names of mixed directions, is compared with pango-view's rendering of the same
text in the same face and size, and the right-to-left and mixed names also with their misreading
(forced left to right, unjoined and unordered, as a renderer that neither shapes nor reorders
shows them; or read in the other direction): ours must be like the first, unlike the second.
A colour emoji shows in its colours, as Pango shows it, beside white text that stays white, and
its line stands where its measured width places it.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_names
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import re
import subprocess
import unittest

from velloway_e2e.images import Image, colour
from velloway_e2e.names import FACE, INK, Name, NamesWatching, em_pixels, likeness
from velloway_e2e.roll import BACK, INK_TOLERANCE, NativeRollTestCase

BIRTHDAY = "\U0001F382 Happy birthday"
# Channels this far apart are a colour: white text's antialiased edges on the background are at
# most 0x30 apart, as the background itself.
COLOURED = 0x60
# A colour as Pango shows it: each channel of the mean of the coloured pixels within this.
SAME_COLOUR = 16
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


class NativeNamesTest(NamesWatching, NativeRollTestCase):
    LIKE, UNLIKE = 0.9, 0.75

    def em(self):
        """The names' em in pixels as the program sizes it, at the screen's DPI."""
        info = subprocess.run(["xdpyinfo"], env=self.desktop.env, capture_output=True,
                              text=True, check=True).stdout
        pixels, millimetres = re.search(r"dimensions:\s+\d+x(\d+) pixels \(\d+x(\d+) mil",
                                        info).groups()
        return em_pixels(round(int(pixels) * 25.4 / int(millimetres)))

    def pango_font(self, name: Name):
        """The line's own face: Pango falls back from it as the program does."""
        return FACE, ""

    def test_each_name_shows_as_pango_shows_it(self):
        self.assert_names_shown_as_pango_shows_them()

    def pango_picture(self, text, pixels, name):
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

    def test_a_colour_emoji_shows_in_its_colours(self):
        self.run_script(("TEXT", FACE, "0", BIRTHDAY, "FFFFFF", "1.5"), ("WAIT", "30"))
        self.wait_still(0.5)
        screen = self.desktop.screenshot(self.artifact("birthday.png"))
        boxes = self.line_boxes(screen)
        self.assertEqual(len(boxes), 1, f"lines on screen: {boxes}")
        box = boxes[0]
        pango, pango_box = self.pango_picture(BIRTHDAY, self.em(), "birthday-pango")
        ours = pixels_where(screen, box, is_coloured)
        self.assertTrue(ours, "no coloured pixel: the emoji is not in its colours")
        theirs = pixels_where(pango, pango_box, is_coloured)
        shown = likeness(ours, theirs)
        hue, pango_hue = mean_colour(screen, box, ours), mean_colour(pango, pango_box, theirs)
        print(f"\nthe emoji: {shown:.2f} like Pango's, mean colour "
              f"{tuple(map(round, hue))} (Pango's {tuple(map(round, pango_hue))})", flush=True)
        self.assertGreater(shown, self.LIKE, "the emoji unlike Pango's")
        for channel, pango_channel in zip(hue, pango_hue):
            self.assertLessEqual(abs(channel - pango_channel), SAME_COLOUR,
                                 "the emoji's colours unlike Pango's")
        self.assertGreater(likeness(pixels_where(screen, box, is_ink),
                                    pixels_where(pango, pango_box, is_ink)), self.LIKE,
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
