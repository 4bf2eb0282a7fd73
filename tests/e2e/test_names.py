"""Names in the world's scripts on velloway.scr under Wine, shaped by Uniscribe and in order: each
line of a roll of names in Arabic, Hebrew, Devanagari, Thai, Korean, Vietnamese and Latin with
combining marks, and of two names of mixed directions, is compared with pango-view's rendering of
the same text in the faces Uniscribe shows it in (the test prefix's fallback face for its script,
which fontconfig finds too), and the right-to-left and mixed names also with their misreading
(forced left to right, or read in the other direction): ours must be like the first, none of its
ink cut off (a fallback face taller than the line's own), and unlike the second.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_names
(skipped without VELLOWAY_SCR; ctest sets it)."""

import unittest

from velloway_e2e.names import Name, NamesWatching, em_pixels
from velloway_e2e.roll import RollTestCase

# The prefix's own: no test here sets another.
WINE_DPI = 96


class NamesTest(NamesWatching, RollTestCase):
    # GDI hints the faces that carry hinting instructions (Liberation Sans, DejaVu Sans) to the
    # pixel grid, Cairo lightly: glyphs of a line stand up to 2 pixels from Cairo's places.
    # Measured: 0.88 (Zoë, partly in Liberation Sans) to 1.00 like Pango's rendering, 0.35 to
    # 0.64 like a misreading.
    LIKE, UNLIKE, SLACK = 0.8, 0.7, 2

    def em(self):
        return em_pixels(WINE_DPI)

    def pango_font(self, name: Name):
        return name.prefix_faces, name.prefix_features

    def test_each_name_shows_as_pango_shows_it(self):
        self.assert_names_shown_as_pango_shows_them()


if __name__ == "__main__":
    unittest.main()
