"""Pictures of the screen: Image (pixels, ink, PNG) and colours."""

from __future__ import annotations

import re
import struct
import zlib
from pathlib import Path
from typing import Iterable, Union


Colour = tuple  # (r, g, b), each 0..255
ColourLike = Union[Colour, str]  # (r, g, b) or "RRGGBB"
Region = tuple  # (x, y, width, height)


def colour(value: ColourLike) -> Colour:
    """(r, g, b) from a tuple or from "RRGGBB" (a leading # is allowed here)."""
    if isinstance(value, str):
        text = value.lstrip("#")
        if not re.fullmatch(r"[0-9A-Fa-f]{6}", text):
            raise ValueError(f"not an RRGGBB colour: {value!r}")
        return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))
    r, g, b = value
    return (int(r), int(g), int(b))


def colour_close(a: ColourLike, b: ColourLike, tolerance: int = 0) -> bool:
    """True when no channel differs by more than tolerance."""
    a, b = colour(a), colour(b)
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def is_whiteish(rgb: Colour, minimum: int = 200) -> bool:
    return min(rgb) >= minimum


BLACK = (0, 0, 0)


class Image:
    """An RGB picture of (part of) the screen; origin is the captured region's top-left corner
    in screen coordinates, so pixel() takes screen coordinates."""

    def __init__(self, width: int, height: int, rgb: bytes, origin: tuple = (0, 0)):
        if len(rgb) != width * height * 3:
            raise ValueError("RGB data does not match the size")
        self.width, self.height, self.rgb, self.origin = width, height, bytes(rgb), origin

    def _index(self, x: int, y: int) -> int:
        lx, ly = x - self.origin[0], y - self.origin[1]
        if not (0 <= lx < self.width and 0 <= ly < self.height):
            raise IndexError(f"pixel ({x}, {y}) is outside the captured region")
        return (ly * self.width + lx) * 3

    def pixel(self, x: int, y: int) -> Colour:
        i = self._index(x, y)
        return tuple(self.rgb[i:i + 3])

    def _clip(self, region: Region | None) -> tuple:
        ox, oy = self.origin
        if region is None:
            return ox, oy, ox + self.width, oy + self.height
        x, y, w, h = region
        return (max(x, ox), max(y, oy), min(x + w, ox + self.width), min(y + h, oy + self.height))

    def _rows(self, region: Region | None):
        """(y, row bytes, x0) for each row of the clipped region, in screen coordinates."""
        x0, y0, x1, y1 = self._clip(region)
        ox, oy = self.origin
        for y in range(y0, y1):
            start = ((y - oy) * self.width + (x0 - ox)) * 3
            yield y, self.rgb[start:start + (x1 - x0) * 3], x0

    def differing_pixels(self, background: ColourLike, tolerance: int = 0,
                         region: Region | None = None):
        """Yields (x, y, rgb) of each pixel that differs from background by more than tolerance."""
        bg = colour(background)
        x0, _, x1, _ = self._clip(region)
        plain = bytes(bg) * max(0, x1 - x0)
        for y, row, rx0 in self._rows(region):
            if row == plain:  # the common case, decided in C
                continue
            for i in range(0, len(row), 3):
                r, g, b = row[i], row[i + 1], row[i + 2]
                if (abs(r - bg[0]) > tolerance or abs(g - bg[1]) > tolerance
                        or abs(b - bg[2]) > tolerance):
                    yield rx0 + i // 3, y, (r, g, b)

    def bbox_differing(self, background: ColourLike, tolerance: int = 0,
                       region: Region | None = None) -> Region | None:
        """(x, y, width, height) around every pixel differing from background, or None."""
        xs, ys = [], []
        for x, y, _ in self.differing_pixels(background, tolerance, region):
            xs.append(x)
            ys.append(y)
        if not xs:
            return None
        return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)

    def ink_centre(self, background: ColourLike, region: Region | None = None) -> float | None:
        """The vertical centre of what differs from background, each row weighed by how much it
        differs (a line's coverage, for text lighter than its background), in screen rows from
        the top edge of row 0; None without ink."""
        bg = colour(background)
        ink = moment = 0
        for y, row, _ in self._rows(region):
            weight = sum(abs(row[i] - bg[i % 3]) for i in range(len(row)))
            ink += weight
            moment += weight * (y + 0.5)
        return moment / ink if ink else None

    def ink_rows(self, background: ColourLike, tolerance: int = 0,
                 region: Region | None = None) -> list[int]:
        """Screen rows holding at least one pixel that differs from background."""
        return sorted({y for _, y, _ in self.differing_pixels(background, tolerance, region)})

    def count_close(self, expected: ColourLike, tolerance: int = 0,
                    region: Region | None = None, step: int = 1) -> tuple:
        """(matching, sampled): pixels within tolerance of expected, on a grid of `step`."""
        want = colour(expected)
        matching = sampled = 0
        for y, row, _ in self._rows(region):
            if (y - self.origin[1]) % step:
                continue
            for i in range(0, len(row), 3 * step):
                sampled += 1
                if (abs(row[i] - want[0]) <= tolerance and abs(row[i + 1] - want[1]) <= tolerance
                        and abs(row[i + 2] - want[2]) <= tolerance):
                    matching += 1
        return matching, sampled

    def save_png(self, path: Union[str, Path]) -> Path:
        path = Path(path)
        raw = bytearray()
        stride = self.width * 3
        for y in range(self.height):
            raw.append(0)  # filter type: none
            raw += self.rgb[y * stride:(y + 1) * stride]

        def chunk(kind: bytes, data: bytes) -> bytes:
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(bytes(raw), 3)) + chunk(b"IEND", b""))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png)
        return path


def ink_runs(rows: Iterable[int], max_gap: int = 2) -> list[tuple]:
    """Groups sorted row numbers into (first, last) runs; gaps up to max_gap rows join a run."""
    runs: list[list[int]] = []
    for y in sorted(rows):
        if runs and y - runs[-1][1] <= max_gap + 1:
            runs[-1][1] = y
        else:
            runs.append([y, y])
    return [tuple(r) for r in runs]



def read_ppm(data: bytes) -> Image:
    """A binary PPM (P6, 8 bits) as an Image."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(f"not an 8-bit binary PPM: {fields}")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height * 3]
    return Image(width, height, pixels)
