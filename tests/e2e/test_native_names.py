"""Names in the world's scripts on the Linux program, as Pango itself shows them: each line of a
roll of names in Arabic, Hebrew, Devanagari, Thai, Korean, Vietnamese and Latin with combining
marks is compared with pango-view's rendering of the same text in the same face and size, and the
right-to-left names also with the same text forced left to right, unjoined and unordered, as a
renderer that neither shapes nor reorders shows it: ours must be like the first, unlike the second.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_names
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import re
import subprocess
import unittest

from velloway_e2e.roll import BACK, NativeRollTestCase

FACE = "Arial"
POINTS = 20  # the header's size; each line's size step is 0
NAMES = ["محمد عبد الله", "שלום עליכם", "हिन्दी नाम", "สมชาย ใจดี", "김민준",
         "Nguyễn Thị Hương", "Zoe\u0308 Me\u0301lanie"]
RIGHT_TO_LEFT = NAMES[:2]
LEFT_TO_RIGHT_OVERRIDE = "\u202d"
# Coverage above half: the ink of a glyph, whatever its antialiased edge.
INK = 0x88
LIKE, UNLIKE = 0.9, 0.75


def ink_set(width, height, value):
    """The ink pixels of a picture, counted from its ink box's corner."""
    points = {(x, y) for y in range(height) for x in range(width) if value(x, y) >= INK}
    if not points:
        return points
    left, top = min(x for x, _ in points), min(y for _, y in points)
    return {(x - left, y - top) for x, y in points}


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
        path = self.artifact(f"{name}.png")
        subprocess.run(["pango-view", f"--font={FACE} {pixels}", "--dpi=72", f"--text={text}",
                        "-o", str(path), "--background=black", "--foreground=white", "-q"],
                       check=True, env=self.desktop.env)
        size = subprocess.run(["identify", "-format", "%w %h", str(path)], capture_output=True,
                              text=True, check=True).stdout
        width, height = map(int, size.split())
        gray = subprocess.run(["convert", str(path), "-colorspace", "gray", "-depth", "8",
                               "gray:-"], capture_output=True, check=True).stdout
        return ink_set(width, height, lambda x, y: gray[y * width + x])

    def test_each_name_shows_as_pango_shows_it(self):
        records = [("TEXT", FACE, "0", name, "FFFFFF", "1.5") for name in NAMES]
        self.run_script(*records, ("WAIT", "30"))
        self.wait_still(0.5)
        screen = self.desktop.screenshot(self.artifact("names.png"))
        boxes = self.line_boxes(screen)
        self.assertEqual(len(boxes), len(NAMES), f"lines on screen: {boxes}")
        pixels = self.pixel_size()
        for index, (name, (left, top, width, height)) in enumerate(zip(NAMES, boxes)):
            with self.subTest(name=name):
                ours = ink_set(width, height,
                               lambda x, y: screen.pixel(left + x, top + y)[0])
                shown = likeness(ours, self.pango_view(name, pixels, f"{index}-pango"))
                forced = None
                if name in RIGHT_TO_LEFT:
                    forced = likeness(ours, self.pango_view(LEFT_TO_RIGHT_OVERRIDE + name,
                                                            pixels, f"{index}-forced"))
                print(f"\n{name}: {shown:.2f} like Pango's rendering"
                      + (f", {forced:.2f} like it forced left to right" if forced else ""),
                      flush=True)
                self.assertGreater(shown, LIKE, "unlike Pango's rendering")
                if forced is not None:
                    self.assertLess(forced, UNLIKE, "like the name forced left to right")

if __name__ == "__main__":
    unittest.main()
