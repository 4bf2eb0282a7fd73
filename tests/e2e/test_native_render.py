"""velloway-render end to end: the real program films short scripts into each format, and
ffprobe and ffmpeg (Debian's ffmpeg) read the films back: their streams, codecs, size, rate and
exact frame count; a line's top where the roll puts it while it rests, to the row in the lossless
picture sequence; a GIF's pixels, the ink's colour among them, those of the picture sequence; the
music from its BGM ON to its BGM OFF; the same bytes from two runs; refusals that leave no file;
Ctrl-C; the progress bar.

Run: VELLOWAY_RENDER=/path/to/velloway-render python3 -m unittest -v test_native_render
(skipped without VELLOWAY_RENDER; ctest sets it)."""

from __future__ import annotations

import array
import json
import os
import pty
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from velloway_e2e.processes import die_with_parent, stop_process, wait_until
from velloway_e2e.program import script_text
from velloway_e2e.roll import BACK, BLOCK, FONT, STEP_PX
from velloway_e2e.sound import write_tone
from velloway_e2e.testcase import program_from_env

RENDER_ENV = "VELLOWAY_RENDER"
WIDTH, HEIGHT, FPS = 320, 240, 50
SIZE = ["--size", f"{WIDTH}x{HEIGHT}"]
TICK_S = 0.1  # speed 3
# The rows of a line's top a lossy film and a glyph's faint antialiased top row may shift it by;
# in a picture sequence any pixel unlike the background is ink, and the top is exact.
TOP_TOLERANCE = 1
SAMPLE_RATE = 48000
LOUD = 0.05 * 32768
# The spacings of the three lines, in line heights: whole, as the roll reads them.
SPACINGS = ("1", "3", "1")


def block_line(spacing: str):
    return ("TEXT", FONT, "0", BLOCK * 2, "FFFFFF", spacing)


def steps(height: int, spacing: str) -> int:
    """The roll's 5-pixel steps for a line of that height and spacing: until the ticks exceed
    height x spacing / 5."""
    return height * int(spacing) // STEP_PX + 1


# Speed 3, so a tick every 100 ms. Ticks: WAIT 1 takes ticks 1-11; BGM ON at 12; line 1 at 13
# and its n1 steps; WAIT at 14+n1 to 24+n1; line 2 at 25+n1 and its n2 steps; BGM OFF at
# 26+n1+n2; WAIT to 37+n1+n2; line 3 at 38+n1+n2, n3 steps; WAIT to 49+N; the roll starts over at
# tick 50+N (N = n1+n2+n3), where the film ends: it ends on a WAIT.
MAIN_SCRIPT = script_text(("HEADER", "20", "3", "MID", BACK), ("WAIT", "1"),
                          ("BGM", "ON", "tone.wav"), block_line(SPACINGS[0]), ("WAIT", "1"),
                          block_line(SPACINGS[1]), ("BGM", "OFF"), ("WAIT", "1"),
                          block_line(SPACINGS[2]), ("WAIT", "1"))
MUSIC_ON_TICK = 12


def timeline(height: int) -> dict:
    """The main script's moments for lines of that height: ticks of each rest and of BGM OFF,
    each line's steps, and the film's length in ticks."""
    n1, n2, n3 = (steps(height, s) for s in SPACINGS)
    return {"steps": (n1, n2, n3),
            # Mid-WAIT: five ticks after each WAIT's dispatch, when smooth motion has caught up.
            "rests": (19 + n1, 32 + n1 + n2, 44 + n1 + n2 + n3),
            "off": 26 + n1 + n2,
            "ticks": 50 + n1 + n2 + n3}


def run(*args: str, timeout: float = 300) -> subprocess.CompletedProcess:
    return subprocess.run(list(map(str, args)), capture_output=True, timeout=timeout,
                          check=False, preexec_fn=die_with_parent)


def streams(path: Path, *before_input: str) -> list:
    """ffprobe's view of each stream, its frames counted by decoding."""
    done = run("ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "json",
               *before_input, "-i", path)
    if done.returncode != 0:
        raise AssertionError(f"ffprobe {path}: {done.stderr.decode()}")
    return json.loads(done.stdout)["streams"]


def decoded_frames(path: Path, pixels: str = "gray") -> list:
    """Every frame of the film decoded, as rows of luma bytes (or of other pixels)."""
    before = ["-framerate", str(FPS)] if "%" in path.name else []
    done = run("ffmpeg", "-v", "error", *before, "-i", path, "-f", "rawvideo", "-pix_fmt", pixels,
               "-")
    size = WIDTH * HEIGHT * {"gray": 1, "rgb24": 3}[pixels]
    return [done.stdout[i:i + size] for i in range(0, len(done.stdout) - size + 1, size)]


def ink_tops(frame: bytes, faint: bool = False) -> list:
    """The top rows of the runs of ink down the frame's middle column, top to bottom; faint:
    every pixel unlike the background is ink, not only those nearer the ink."""
    column = [frame[y * WIDTH + WIDTH // 2] for y in range(HEIGHT)]
    back, ink = min(column), 255
    inked = [v != back if faint else v > (back + ink) / 2 for v in column]
    return [y for y in range(HEIGHT) if inked[y] and (y == 0 or not inked[y - 1])]


def ink_height(frame: bytes) -> int:
    column = [frame[y * WIDTH + WIDTH // 2] for y in range(HEIGHT)]
    return sum(1 for v in column if v > (min(column) + 255) / 2)


def mono_samples(path: Path):
    done = run("ffmpeg", "-v", "error", "-i", path, "-vn", "-f", "s16le", "-ac", "1", "-ar",
               str(SAMPLE_RATE), "-")
    samples = array.array("h")
    samples.frombytes(done.stdout)
    return samples


def set_up_films(cls, prefix: str, tone_seconds: float) -> None:
    """A film test class's program, the tools that read its films back, and a folder of its own
    for its scripts with tone.wav, a tone of tone_seconds."""
    cls.program = program_from_env(RENDER_ENV)
    for tool in ("ffprobe", "ffmpeg"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest(f"{tool} is not installed (scripts/setup installs it)")
    made = tempfile.TemporaryDirectory(prefix=prefix)
    cls.addClassCleanup(made.cleanup)
    cls.folder = Path(made.name)
    write_tone(cls.folder / "tone.wav", 441, tone_seconds)


class RenderTest(unittest.TestCase):
    program: Path
    folder: Path

    @classmethod
    def setUpClass(cls):
        # Longer than the roll plays it: BGM OFF ends it.
        set_up_films(cls, "velloway-render-", 8)
        (cls.folder / "Main.vws").write_text(MAIN_SCRIPT, encoding="utf-8")

    def render(self, output: str, *options: str, script: str = "Main.vws") -> Path:
        """Films a script of the folder; fails the test when the program does."""
        done = run(self.program, self.folder / script, "-o", self.folder / output, *SIZE,
                   "--quiet", *options)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        return self.folder / output

    def test_the_mp4_film_shows_the_roll_and_plays_its_music_at_its_times(self):
        film = self.render("main.mp4")
        (self.folder / "main").mkdir()
        pictures = decoded_frames(self.render("main/%05d.png"))
        video, audio = streams(film)
        frames = decoded_frames(film)
        # The first line alone, at rest at 2.7 s for any height from 20 to 45 pixels: its
        # height sets the roll's pace.
        height = ink_height(pictures[int(27 * TICK_S * FPS)])
        times = timeline(height)
        self.assertEqual(times, timeline(height + 1),
                         "a glyph's top row shifts the steps: choose other spacings")
        self.assertEqual((video["codec_name"], video["pix_fmt"], video["width"],
                          video["height"], video["r_frame_rate"]),
                         ("h264", "yuv420p", WIDTH, HEIGHT, f"{FPS}/1"))
        self.assertEqual((audio["codec_name"], int(audio["sample_rate"]), audio["channels"]),
                         ("aac", SAMPLE_RATE, 2))
        # Frame k at k / FPS seconds from the roll's start, until the tick that ends the film.
        length = round(times["ticks"] * TICK_S * FPS)
        self.assertEqual((int(video["nb_read_frames"]), len(pictures)), (length, length))

        n1, n2, n3 = times["steps"]
        expected = ([HEIGHT - STEP_PX * n1],
                    [HEIGHT - STEP_PX * (n1 + n2), HEIGHT - STEP_PX * n2],
                    [HEIGHT - STEP_PX * (n1 + n2 + n3), HEIGHT - STEP_PX * (n2 + n3),
                     HEIGHT - STEP_PX * n3])
        for tick, tops in zip(times["rests"], expected):
            for kind, shots, tolerance in (("pictures", pictures, 0),
                                           ("mp4", frames, TOP_TOLERANCE)):
                with self.subTest(kind, seconds=tick * TICK_S):
                    shown = ink_tops(shots[round(tick * TICK_S * FPS)], faint=tolerance == 0)
                    self.assertEqual(len(shown), len(tops), shown)
                    for top, wanted in zip(shown, tops):
                        self.assertAlmostEqual(top, wanted, delta=tolerance, msg=shown)

        samples = mono_samples(film)
        loud = [i for i, v in enumerate(samples) if abs(v) > LOUD]
        frame_s = 1 / FPS
        self.assertAlmostEqual(loud[0] / SAMPLE_RATE, MUSIC_ON_TICK * TICK_S, delta=frame_s)
        self.assertAlmostEqual(loud[-1] / SAMPLE_RATE, times["off"] * TICK_S, delta=frame_s)

    def test_every_format_has_its_streams_size_rate_and_frames(self):
        cases = {  # output: (video codec, pixels, sound codec or None)
            "cut.mp4": ("h264", "yuv420p", "aac"),
            "cut.webm": ("vp9", "yuv420p", "opus"),
            "cut.mov": ("prores", "yuv422p10le", "pcm_s16le"),
            "cut.gif": ("gif", "bgra", None),
            "cut/%05d.png": ("png", "rgb24", None),
        }
        (self.folder / "cut").mkdir()
        for output, (codec, pixels, sound) in cases.items():
            with self.subTest(output):
                film = self.render(output, "--duration", "2")
                before = ["-framerate", str(FPS)] if "%" in output else []
                found = streams(film, *before)
                video = found[0]
                self.assertEqual((video["codec_name"], video["pix_fmt"], video["width"],
                                  video["height"], video["r_frame_rate"]),
                                 (codec, pixels, WIDTH, HEIGHT, f"{FPS}/1"))
                self.assertEqual(int(video["nb_read_frames"]), 2 * FPS)
                self.assertEqual([s["codec_name"] for s in found[1:]], [sound] if sound else [])
                if codec == "prores":
                    self.assertEqual(video["profile"], "HQ")
                if sound:
                    self.assertEqual((int(found[1]["sample_rate"]), found[1]["channels"]),
                                     (SAMPLE_RATE, 2))
        # One ink colour: its palette holds every step of the lines' edges, so the GIF shows the
        # pictures' very pixels, the ink's white among them as the line enters.
        gif = decoded_frames(self.folder / "cut.gif", "rgb24")
        pictures = decoded_frames(self.folder / "cut/%05d.png", "rgb24")
        self.assertEqual(len(gif), len(pictures))
        differing = [k for k, (a, b) in enumerate(zip(gif, pictures)) if a != b]
        self.assertEqual(differing, [], "frames of the GIF unlike the pictures")
        self.assertIn(b"\xff\xff\xff", gif[-1])

    def test_a_roll_without_music_has_no_sound_track(self):
        (self.folder / "Silent.vws").write_text(
            script_text(("HEADER", "20", "3", "MID", BACK), block_line("1"), ("WAIT", "1")),
            encoding="utf-8")
        found = streams(self.render("silent.mp4", script="Silent.vws"))
        self.assertEqual([s["codec_type"] for s in found], ["video"])

    def test_two_runs_make_the_same_bytes(self):
        for extension in ("mp4", "webm", "mov"):
            with self.subTest(extension):
                first = self.render(f"once.{extension}", "--duration", "3").read_bytes()
                second = self.render(f"twice.{extension}", "--duration", "3").read_bytes()
                self.assertTrue(first == second, f"the two .{extension} films differ")

    def test_refusals_say_why_and_leave_no_file(self):
        (self.folder / "Still.vws").write_text(
            script_text(("HEADER", "20", "0", "MID", BACK), block_line("1")), encoding="utf-8")
        (self.folder / "taken.mp4").write_bytes(b"mine")
        (self.folder / "folder.mp4").mkdir()
        cases = [  # (arguments after the program, exit status, words of the message)
            (["Missing.vws", "-o", "a.mp4"], 1, "not found"),
            (["Still.vws", "-o", "a.mp4"], 1, "speed is 0"),
            (["Main.vws", "-o", "a.avi"], 2, "should end in"),
            (["Main.vws", "-o", "a.mp4", "--size", "99999x2"], 2, "--size"),
            (["Main.vws", "-o", "a.mp4", "--fps", "1000"], 2, "--fps"),
            (["Main.vws", "-o", "nowhere/a.mp4"], 1, "no such folder"),
            (["Main.vws", "-o", "folder.mp4"], 1, "is a folder"),
            (["Main.vws", "-o", "taken.mp4"], 1, "--force replaces it"),
        ]
        for args, status, words in cases:
            with self.subTest(" ".join(args)):
                before = sorted(p.name for p in self.folder.rglob("*"))
                done = subprocess.run([str(self.program), *args, *SIZE], cwd=self.folder,
                                      capture_output=True, timeout=60, check=False)
                self.assertEqual(done.returncode, status, done.stderr.decode())
                self.assertIn(words, done.stderr.decode())
                self.assertEqual(sorted(p.name for p in self.folder.rglob("*")), before)
        self.assertEqual((self.folder / "taken.mp4").read_bytes(), b"mine")

    def test_ctrl_c_stops_it_and_removes_the_half_written_film(self):
        out = self.folder / "stopped"
        out.mkdir()
        process = subprocess.Popen(
            [str(self.program), self.folder / "Main.vws", "-o", out / "long.mp4", "--quiet",
             "--size", "1280x720", "--loops", "40"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, preexec_fn=die_with_parent)
        try:
            # Interrupted while it writes: its hidden file has begun.
            wait_until(lambda: any(p.stat().st_size > 0 for p in out.iterdir()), timeout=60,
                       what="the film to begin")
            process.send_signal(signal.SIGINT)
            _, err = process.communicate(timeout=30)
        finally:
            stop_process(process)
        self.assertEqual(process.returncode, 130, err.decode())
        self.assertIn("was not made", err.decode())
        self.assertEqual(list(out.iterdir()), [])

    def test_a_terminal_sees_the_progress_bar_unless_quiet(self):
        for quiet, shown in (([], True), (["--quiet"], False)):
            with self.subTest(quiet=bool(quiet)):
                output = self.folder / f"bar{len(quiet)}.mp4"
                leader, follower = pty.openpty()
                with os.fdopen(leader, "rb", buffering=0) as terminal:
                    process = subprocess.Popen(
                        [str(self.program), self.folder / "Main.vws", "-o", output, *SIZE,
                         *quiet], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                        stderr=follower, preexec_fn=die_with_parent)
                    os.close(follower)
                    seen = bytearray()
                    while True:
                        try:
                            chunk = terminal.read(4096)
                        except OSError:  # the program has ended: the terminal is closed
                            break
                        if not chunk:
                            break
                        seen += chunk
                    self.assertEqual(process.wait(timeout=60), 0, seen.decode())
                self.assertEqual(b" frames " in seen and b" left" in seen, shown, seen.decode())


if __name__ == "__main__":
    unittest.main()
