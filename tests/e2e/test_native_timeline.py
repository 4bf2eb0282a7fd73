"""The checker's timeline on Linux against a film of the same script: velloway-check --timeline
measures the lines with the fonts the saver and velloway-render draw them in, so the moments it
prints are the film's, to the tick. A credits script in three faces (Arial, Times New Roman and
MS Gothic, shown in their Linux stand-ins) whose music cues and final WAIT come after lines whose
spacings count in their heights: a line measured a pixel off moves every moment after it.

Run: VELLOWAY_CHECK=... VELLOWAY_RENDER=... python3 -m unittest -v test_native_timeline
(skipped without them; ctest sets them)."""

from __future__ import annotations

import array
import json
import subprocess
import tempfile
import unittest
from pathlib import Path

from velloway_e2e.processes import die_with_parent
from velloway_e2e.program import script_text
from velloway_e2e.sound import write_tone
from velloway_e2e.testcase import program_from_env

WIDTH, HEIGHT, FPS = 320, 240, 50
TICK_S = 0.1  # speed 3
SAMPLE_RATE = 48000
LOUD = 0.05 * 32768  # a tone at half scale passes it within its first samples
FACES = ("Arial", "Times New Roman", "\uff2d\uff33 \u30b4\u30b7\u30c3\u30af")  # ＭＳ ゴシック
NAMES = ("The End", "Directed by Ana Souza", "\u5c71\u7530 \u592a\u90ce", "Produced by Li Wei",
         "Music", "\u4f50\u85e4 \u82b1\u5b50", "Jane Doe")


def credits_script() -> str:
    lines = [("HEADER", "16", "3", "MID", "000000")]
    for i, name in enumerate(NAMES):
        lines.append(("TEXT", FACES[i % 3], str(i % 3 - 1), name, "FFFFFF", str(1 + i % 3)))
        if i in (2, 5):
            lines += [("BGM", "OFF"), ("BGM", "ON", "cue.wav")]
    lines.append(("WAIT", "1"))
    return script_text(*lines)


def run(*args: object, timeout: float = 300) -> subprocess.CompletedProcess:
    done = subprocess.run(list(map(str, args)), capture_output=True, timeout=timeout,
                          check=False, preexec_fn=die_with_parent)
    if done.returncode != 0:
        raise AssertionError(f"{args[0]}: exit status {done.returncode}\n{done.stderr.decode()}")
    return done


def onsets(film: Path) -> list[float]:
    """The moments, in seconds, at which the film's sound starts after a tenth of silence."""
    pcm = run("ffmpeg", "-v", "error", "-i", film, "-vn", "-f", "s16le", "-ac", "1", "-ar",
              str(SAMPLE_RATE), "-").stdout
    found, last_loud = [], None
    for index, sample in enumerate(array.array("h", pcm)):
        if abs(sample) <= LOUD:
            continue
        if last_loud is None or index - last_loud > SAMPLE_RATE // 10:
            found.append(index / SAMPLE_RATE)
        last_loud = index
    return found


class TimelineAgainstFilmTest(unittest.TestCase):
    def test_the_music_cues_and_the_length_of_a_pass_are_the_films_to_the_tick(self) -> None:
        check = program_from_env("VELLOWAY_CHECK")
        render = program_from_env("VELLOWAY_RENDER")
        with tempfile.TemporaryDirectory(prefix="velloway-timeline-") as folder:
            script = Path(folder) / "Credits.vws"
            script.write_text(credits_script(), encoding="utf-8")
            # A short tone: each cue is heard alone, started by the next BGM ON after an OFF.
            write_tone(Path(folder) / "cue.wav", 441, 1)
            timeline = json.loads(run(check, "--timeline", "--json", "--screen",
                                      f"{WIDTH}x{HEIGHT}", script).stdout)
            self.assertEqual(timeline["intervalMs"], TICK_S * 1000)
            # Each cue is a BGM OFF and a BGM ON: the music starts at the ON.
            cues = [entry["seconds"] for entry in timeline["timeline"]
                    if entry["command"] == "BGM"][1::2]
            film = Path(folder) / "credits.mov"
            run(render, script, "-o", film, "--size", f"{WIDTH}x{HEIGHT}", "--fps", FPS,
                "--quiet")
            heard = onsets(film)
            self.assertEqual(len(heard), len(cues), f"cues {cues}, heard {heard}")
            for cue, onset in zip(cues, heard):
                self.assertAlmostEqual(onset, cue, delta=0.001,
                                       msg=f"cues {cues}, heard {heard}")
            # The script ends on a WAIT: the film ends as the roll starts over, one tick after
            # the first record's tick plus a loop.
            probe = json.loads(run("ffprobe", "-v", "error", "-count_frames", "-select_streams",
                                   "v:0", "-show_entries", "stream=nb_read_frames", "-of",
                                   "json", film).stdout)
            frames = int(probe["streams"][0]["nb_read_frames"])
            first_tick = timeline["timeline"][0]["tick"]
            self.assertEqual(frames, round((first_tick + timeline["loop"]["ticks"]) * TICK_S * FPS))


if __name__ == "__main__":
    unittest.main()
