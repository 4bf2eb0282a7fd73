"""Names in the world's scripts as the programs show them, against Pango's own rendering: the
names, the ink of a picture, how alike two inks are, pango-view's picture of a text, and
NamesWatching, the check that each name on screen is like Pango's reading of it, none of its ink
cut off, and unlike a misreading (the same text forced left to right, or read in the other
direction)."""

from __future__ import annotations

import html
import subprocess
from pathlib import Path
from typing import NamedTuple

POINTS = 20  # the roll scripts' header size; each name's size step is 0
# The face each line names; where it lacks a name's letters, the system shows them in another.
FACE = "Arial"
# Coverage above half: the ink of a glyph, whatever its antialiased edge.
INK = 0x88

FORCED_LEFT_TO_RIGHT = "\u202d"  # every character left to right: unjoined and unordered
RIGHT_TO_LEFT_FIRST = "\u200f"  # a paragraph read right to left
LEFT_TO_RIGHT_FIRST = "\u200e"  # a paragraph read left to right


class Name(NamedTuple):
    text: str
    # The faces the test Wine prefix shows it in: Arial's stand-in "Liberation Sans", and
    # Uniscribe's fallback face for the letters it lacks (scripts/wine-prefix). Fontconfig finds
    # the same files.
    prefix_faces: str
    # The same text as a renderer that gets its direction wrong shows it; None where no
    # direction is at stake.
    misread: str | None = None
    # The OpenType features Uniscribe applies to it there beyond Pango's defaults.
    prefix_features: str = ""


NAMES = (
    # Wine's Uniscribe also applies the face's discretionary ligatures: this name takes its
    # vowel marks.
    Name("محمد عبد الله", "Noto Sans Arabic", FORCED_LEFT_TO_RIGHT + "محمد عبد الله", "dlig"),
    Name("שלום עליכם", "Noto Sans Hebrew", FORCED_LEFT_TO_RIGHT + "שלום עליכם"),
    Name("हिन्दी नाम", "Noto Sans Devanagari"),
    Name("สมชาย ใจดี", "Noto Sans Thai"),
    Name("김민준", "NanumGothic"),
    Name("Nguyễn Thị Hương", "DejaVu Sans"),
    # Wine takes a letter with a combining mark, and the letters before it in its word, as a run
    # of their own: "lanie" stays in Liberation Sans.
    Name("Zoe\u0308 Me\u0301lanie", "DejaVu Sans"),
    # Mixed directions: the first strong letter sets the line's; the Latin and the Hebrew take
    # the sides it gives them.
    Name("Dr. שלום 2024", "Liberation Sans,Noto Sans Hebrew",
         RIGHT_TO_LEFT_FIRST + "Dr. שלום 2024"),
    Name("שלום Smith", "Liberation Sans,Noto Sans Hebrew", LEFT_TO_RIGHT_FIRST + "שלום Smith"),
)


def em_pixels(dpi: float) -> int:
    """The names' em in pixels at a DPI, as the programs size a font."""
    return round(POINTS * dpi / 72)


def ink_set(width: int, height: int, value) -> set:
    """The ink pixels of a picture, counted from its ink box's corner."""
    points = {(x, y) for y in range(height) for x in range(width) if value(x, y) >= INK}
    if not points:
        return points
    left, top = min(x for x, _ in points), min(y for _, y in points)
    return {(x - left, y - top) for x, y in points}


def likeness(a: set, b: set, slack: int = 0) -> float:
    """The share of ink that has ink of the other picture within a pixel, the lesser of the two
    ways round, the pictures placed by their ink boxes' corners and then moved by up to slack
    pixels each way where they match best: antialiasing and subpixel placement may move an edge
    by a pixel, another renderer's hinting a glyph by more."""
    def near(points, other):
        return sum(1 for x, y in points
                   if any((x + dx, y + dy) in other for dx in (-1, 0, 1) for dy in (-1, 0, 1)))

    def placed(dx, dy):
        moved = {(x + dx, y + dy) for x, y in a}
        return min(near(moved, b) / max(1, len(moved)), near(b, moved) / max(1, len(b)))
    moves = range(-slack, slack + 1)
    return max(placed(dx, dy) for dx in moves for dy in moves)


def pango_view(text: str, faces: str, features: str, pixels: int, path: Path, env: dict) -> set:
    """The ink of pango-view's rendering of text in faces (a family list) at pixels to the em,
    with OpenType features beyond its defaults, kept as path."""
    markup = []
    if features:
        text = f'<span font_features="{features}">{html.escape(text)}</span>'
        markup = ["--markup"]
    subprocess.run(["pango-view", f"--font={faces} {pixels}", "--dpi=72", f"--text={text}",
                    *markup, "-o", str(path), "--background=black", "--foreground=white", "-q"],
                   check=True, env=env)
    size = subprocess.run(["identify", "-format", "%w %h", str(path)], capture_output=True,
                          text=True, check=True).stdout
    width, height = map(int, size.split())
    gray = subprocess.run(["convert", str(path), "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout
    return ink_set(width, height, lambda x, y: gray[y * width + x])


class NamesWatching:
    """The names test for a RollWatching test case, which says how alike is alike (LIKE), how
    unlike is unlike (UNLIKE) and how far a picture may move to match (SLACK, see likeness), and
    gives the names' em in pixels (em()) and the faces and features Pango is to show a name in
    (pango_font(name))."""

    LIKE: float
    UNLIKE: float
    SLACK = 0

    def assert_names_shown_as_pango_shows_them(self) -> None:
        records = [("TEXT", FACE, "0", name.text, "FFFFFF", "1.5") for name in NAMES]
        self.run_script(*records, ("WAIT", "30"))
        # Tall faces: the roll rises some 700 pixels, at 50 a second, before it waits.
        self.wait_still(0.5, timeout=30)
        screen = self.desktop.screenshot(self.artifact("names.png"))
        boxes = self.line_boxes(screen)
        self.assertEqual(len(boxes), len(NAMES), f"lines on screen: {boxes}")
        pixels = self.em()
        for index, (name, (left, top, width, height)) in enumerate(zip(NAMES, boxes)):
            with self.subTest(name=name.text):
                ours = ink_set(width, height, lambda x, y: screen.pixel(left + x, top + y)[0])
                font = (*self.pango_font(name), pixels)
                pango = self.pango_ink(name.text, font, f"{index}-pango")
                shown = likeness(ours, pango, self.SLACK)
                misread = None if name.misread is None else likeness(
                    ours, self.pango_ink(name.misread, font, f"{index}-misread"), self.SLACK)
                print(f"\n{name.text}: {shown:.2f} like Pango's rendering"
                      + (f", {misread:.2f} like its misreading" if misread is not None else ""),
                      flush=True)
                self.assertGreater(shown, self.LIKE, "unlike Pango's rendering")
                # Nothing cut off: the ink reaches as high and as low as Pango's, to a pixel.
                pango_height = max(y for _, y in pango) + 1
                self.assertGreaterEqual(height, pango_height - 1, f"its ink is cut off: {height} "
                                        f"rows high, Pango's {pango_height}")
                if misread is not None:
                    self.assertLess(misread, self.UNLIKE, "like the name misread")

    def pango_ink(self, text: str, font: tuple, picture: str) -> set:
        """The ink of pango-view's picture of text in font (faces, features, pixels)."""
        return pango_view(text, *font, self.artifact(f"{picture}.png"), self.desktop.env)
