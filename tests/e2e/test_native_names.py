"""Names in the world's scripts on the Linux program, as Pango itself shows them: each line of a
roll of names in Arabic, Hebrew, Devanagari, Thai, Korean, Vietnamese and Latin with combining
marks, and of two names of mixed directions, is compared with pango-view's rendering of the same
text in the same face and size, and the right-to-left and mixed names also with their misreading
(forced left to right, unjoined and unordered, as a renderer that neither shapes nor reorders
shows them; or read in the other direction): ours must be like the first, unlike the second.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_names
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import re
import subprocess
import unittest

from velloway_e2e.names import FACE, Name, NamesWatching, em_pixels
from velloway_e2e.roll import NativeRollTestCase


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


if __name__ == "__main__":
    unittest.main()
