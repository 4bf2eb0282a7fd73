"""velloway-render end to end for editors: --fit and --transparent, the films read back by ffprobe
and ffmpeg. A fitted pass lasts its length to the frame, a line rises the same distance every
frame at the fitted speed, --fit music ends with the music and its cue comes at its scaled
moment; transparent films are clear in the background, opaque inside thick strokes, and their
edges in the line's own colour, in each format that carries alpha; .mp4 refuses it.

Run: VELLOWAY_RENDER=/path/to/velloway-render python3 -m unittest -v test_native_render_editors
(skipped without VELLOWAY_RENDER; ctest sets it)."""

from __future__ import annotations

import subprocess
import unittest
from pathlib import Path

from test_native_render import (FPS, HEIGHT, LOUD, SAMPLE_RATE, SIZE, WIDTH, mono_samples, run,
                                set_up_films)
from velloway_e2e.program import script_text
from velloway_e2e.roll import BACK, BLOCK, FONT

INK = (0xFF, 0x80, 0x00)  # the lines' colour, FF8000
ROUND = "\u25cf"  # a thick round glyph: its edges antialiased
# One line that rises through a long spacing: the middle of it rolls steadily.
RISING = script_text(("HEADER", "20", "3", "MID", BACK), ("TEXT", FONT, "0", BLOCK, "FF8000", "30"))
# Music after a WAIT of 1 s, at the 12th tick: 1.2 s in at the script's speed.
CUED = script_text(("HEADER", "20", "3", "MID", BACK), ("WAIT", "1"), ("BGM", "ON", "tone.wav"),
                   ("TEXT", FONT, "0", BLOCK, "FFFFFF", "2"), ("TEXT", FONT, "0", BLOCK, "FFFFFF", "2"))
CUE_S = 1.2
# A thick line held still by a long WAIT.
HELD = script_text(("HEADER", "40", "3", "MID", BACK), ("TEXT", FONT, "0", ROUND * 3, "FF8000", "1"),
                   ("WAIT", "5"))


def frames(path: Path, pixels: str, *before_input: str) -> list:
    """Every frame decoded, as bytes of those pixels."""
    before = ["-framerate", str(FPS)] if "%" in path.name else []
    done = run("ffmpeg", "-v", "error", *before, *before_input, "-i", path, "-f", "rawvideo",
               "-pix_fmt", pixels, "-")
    size = WIDTH * HEIGHT * {"gray": 1, "rgba": 4}[pixels]
    return [done.stdout[i:i + size] for i in range(0, len(done.stdout) - size + 1, size)]


def video_frames(path: Path) -> int:
    done = run("ffprobe", "-v", "error", "-select_streams", "v", "-count_frames",
               "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path)
    return int(done.stdout.split()[0])


def line_middle(frame: bytes) -> float:
    """Where the ink of the frame's middle column stands, its rows weighed by their ink: a line
    between pixels is drawn at sixteenths of a pixel, and so is this."""
    column = [frame[y * WIDTH + WIDTH // 2] for y in range(HEIGHT)]
    back = min(column)
    weights = [v - back for v in column]
    return sum(y * w for y, w in enumerate(weights)) / sum(weights)


class EditorsTest(unittest.TestCase):
    program: Path
    folder: Path

    @classmethod
    def setUpClass(cls):
        set_up_films(cls, "velloway-editors-", 6)
        for name, text in (("Rising.vws", RISING), ("Cued.vws", CUED), ("Held.vws", HELD)):
            (cls.folder / name).write_text(text, encoding="utf-8")

    def render(self, script: str, output: str, *options: str) -> subprocess.CompletedProcess:
        path = self.folder / output
        if "%" in output:
            path.parent.mkdir(exist_ok=True)
        done = run(self.program, self.folder / script, "-o", path, *SIZE, "--quiet", "--force",
                   *options)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        return done

    def test_a_fitted_pass_lasts_its_length_and_its_line_rises_evenly(self):
        self.render("Rising.vws", "own/%05d.png")
        own = len(frames(self.folder / "own/%05d.png", "gray"))
        said = self.render("Rising.vws", "fit/%05d.png", "--fit", "20").stderr.decode()
        self.assertIn("one pass 20.0 s at ", said)
        fitted = frames(self.folder / "fit/%05d.png", "gray")
        self.assertEqual(len(fitted), 20 * FPS)
        # The script's speed, 50 pixels a second, scaled by the pass's length: the ratio of the
        # frames tells it to a frame in either film.
        speed = 50 * own / len(fitted) / FPS
        # While the line is wholly on screen, well into its spacing.
        middles = [line_middle(f) for f in fitted[len(fitted) // 4:len(fitted) // 2]]
        steps = [a - b for a, b in zip(middles, middles[1:])]
        mean = sum(steps) / len(steps)
        self.assertAlmostEqual(mean, speed, delta=speed * 0.02)
        for step in steps:  # the same distance every frame, to the sixteenths it is drawn at
            self.assertAlmostEqual(step, mean, delta=0.1, msg=steps)

    def test_fit_music_ends_with_the_music_and_its_cue_comes_at_its_scaled_moment(self):
        self.render("Cued.vws", "own.mp4")
        self.render("Cued.vws", "music.mp4", "--fit", "music")
        own = video_frames(self.folder / "own.mp4")
        length = video_frames(self.folder / "music.mp4") / FPS
        samples = mono_samples(self.folder / "music.mp4")
        loud = [i for i, v in enumerate(samples) if abs(v) > LOUD]
        frame_s = 1 / FPS
        # Six seconds of music, from its cue to the film's end.
        self.assertAlmostEqual(loud[-1] / SAMPLE_RATE, length, delta=2 * frame_s)
        self.assertAlmostEqual((loud[-1] - loud[0]) / SAMPLE_RATE, 6, delta=2 * frame_s)
        pace = own / FPS / length
        self.assertAlmostEqual(loud[0] / SAMPLE_RATE, CUE_S / pace, delta=2 * frame_s)

    def test_fits_refused_leave_no_film(self):
        cases = [  # (--fit, words of the message)
            ("0.05", "faster than a film shows them"),
            ("40000", "slower than a pixel every two seconds"),
            ("music", "plays no music"),
        ]
        for fit, words in cases:
            with self.subTest(fit):
                done = run(self.program, self.folder / "Rising.vws", "-o",
                           self.folder / "refused.mp4", *SIZE, "--fit", fit)
                self.assertEqual(done.returncode, 1, done.stderr.decode())
                self.assertIn(words, done.stderr.decode())
                self.assertFalse(any(self.folder.glob("*refused*")))

    def test_transparent_films_are_clear_around_their_lines_and_keep_their_colours(self):
        cases = {  # output: (options to decode it, hard edges, colour and clear tolerance)
            "clear/%05d.png": ((), False, 0, 0),
            "clear.mov": ((), False, 16, 0),
            # FFmpeg's own VP9 decoder leaves the alpha out; VP9 codes it lossily.
            "clear.webm": (("-c:v", "libvpx-vp9"), False, 16, 2),
            "clear.gif": ((), True, 0, 0),
        }
        for output, (decode, hard, tolerance, clear) in cases.items():
            with self.subTest(output):
                self.render("Held.vws", output, "--transparent", "--duration", "2")
                # Mid-WAIT: the line stands still.
                frame = frames(self.folder / output, "rgba", *decode)[75]
                pixels = [tuple(frame[i:i + 4]) for i in range(0, len(frame), 4)]
                corners = (0, WIDTH - 1, WIDTH * (HEIGHT - 1), WIDTH * HEIGHT - 1)
                for corner in corners:
                    self.assertLessEqual(pixels[corner][3], clear)
                opaque = [p for p in pixels if p[3] == 255]
                self.assertGreater(len(opaque), 1000, "a thick line")
                inside = opaque[len(opaque) // 2]
                for channel in range(3):
                    self.assertAlmostEqual(inside[channel], INK[channel], delta=tolerance)
                edges = [p for p in pixels if 64 <= p[3] < 255]
                if hard:
                    self.assertEqual([p for p in pixels if 0 < p[3] < 255], [])
                    continue
                self.assertGreater(len(edges), 20, "antialiased edges")
                for edge in edges:  # the line's colour, never darker toward the background
                    for channel in range(3):
                        self.assertAlmostEqual(edge[channel], inside[channel],
                                               delta=max(tolerance, 1), msg=edge)

    def test_mp4_refuses_transparency_naming_the_formats_that_carry_it(self):
        done = run(self.program, self.folder / "Held.vws", "-o", self.folder / "clear.mp4",
                   *SIZE, "--transparent")
        self.assertEqual(done.returncode, 2, done.stderr.decode())
        for words in (".mov", ".webm", ".png", ".gif"):
            self.assertIn(words, done.stderr.decode())
        self.assertFalse((self.folder / "clear.mp4").exists())


if __name__ == "__main__":
    unittest.main()
