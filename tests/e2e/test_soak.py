"""Soak: the saver plays a looping script of 200 TEXT, CLEAR, WAIT, BGM ON and BGM OFF records at
speed 3 for about VELLOWAY_SOAK_SECONDS (default 100; whole loops of some 33 s, at least three)
and does not leak. Its GDI objects, its windows and its private memory at the end are within a few
percent of what they were after the second loop, and a key still ends it.

Under Wine GetGuiResources and the process memory counters answer 0, so the counts come from
process_stats.exe, run in the same prefix (the process's GDI handle table and the windows it
owns), and the memory from Linux: the Unix process that runs velloway.scr (the one the harness
started: `wine` execs into it) and its anonymous resident memory, /proc/<pid>/status RssAnon.
That is the heap and the stacks; the process's other private pages are pages of files (the font
files, Wine's DLLs) that come and go by some 5 % within a loop.

The loop's length comes from velloway-check.exe --timeline, run in the same prefix so that lines
are measured in the fonts the saver gets.

Run: VELLOWAY_SCR=.../velloway.scr VELLOWAY_PROCESS_STATS=.../process_stats.exe
     VELLOWAY_CHECK=.../velloway-check.exe python3 -m unittest -v test_soak
(skipped without them; ctest sets them). VELLOWAY_SOAK_SECONDS sets how long the saver plays;
scripts/soak runs it for 5 minutes."""

import itertools
import json
import os
import re
import time
import unittest
from pathlib import Path

from velloway_e2e.processes import HarnessError
from velloway_e2e.program import (CHECK_ENV, MAIN_CAPTION, PROCESS_STATS_ENV, SAVER_SWITCH,
                                  TIMELINE_OPTIONS, script_text)
from velloway_e2e.sound import write_tone
from velloway_e2e.testcase import VellowayTestCase, program_from_env

SECONDS_ENV = "VELLOWAY_SOAK_SECONDS"
DEFAULT_SECONDS = 100

BACK = "102040"
TONE, TONE_HZ, TONE_SECONDS = "soak tone.wav", 441, 2
MISSING_FONT = "Velloway Missing Face"
FONTS = ("DejaVu Sans", "Liberation Serif", "DejaVu Sans Mono", "Liberation Sans", MISSING_FONT)
COLOURS = ("FFFFFF", "FFD040", "80C0FF", "FF6060", "60FF90", "C080FF")
# Memory is read every MEMORY_INTERVAL during the last QUIET_SECONDS of each loop, where no music
# plays (while a piece plays, Wine's playback thread and its buffers add some 3 MB that go again
# with BGM OFF); the loop's figure is the lowest reading.
MEMORY_INTERVAL, QUIET_SECONDS = 0.25, 5
# Counts may move by the larger of these; memory by the fraction.
COUNT_FRACTION, COUNT_SLACK, MEMORY_FRACTION = 0.05, 2, 0.05
# Loops the saver plays before its figures are the baseline.
WARM_LOOPS = 2


def soak_records():
    """One loop of 200 records, about 30 s at speed 3: sixteen blocks of lines in every font,
    size step and colour, each block opening and closing the music twice (one block in four with
    a second ON while the piece plays, one with an OFF with nothing open); then more lines at a
    time than the saver has slots, and a quiet end without music, where the figures are read."""
    numbers = itertools.count(1)

    def line(spacing):
        n = next(numbers)
        return ("TEXT", FONTS[n % len(FONTS)], str(n % 6 - 1), f"Soak line {n} \u00e9t\u00e9",
                COLOURS[n % len(COLOURS)], spacing)

    records = []
    for block in range(16):
        records.append(("BGM", "ON", TONE))
        if block % 4 == 1:
            records.append(("BGM", "ON", TONE))  # already playing: refused
        records += [line("0") for _ in range(3)] + [("CLEAR",), ("BGM", "OFF")]
        if block % 4 == 3:
            records += [("BGM", "OFF"), ("WAIT", "0")]  # nothing open
        records += [line("1" if block % 4 == 0 else "0"), ("CLEAR",), ("BGM", "ON", TONE),
                    ("BGM", "OFF")]
    records += [line("0") for _ in range(26)]  # 20 slots: the first lines are taken over
    return records + [("CLEAR",), ("WAIT", "2")]


def soak_seconds():
    text = os.environ.get(SECONDS_ENV) or str(DEFAULT_SECONDS)
    if not re.fullmatch(r"\d+", text):
        raise ValueError(f"{SECONDS_ENV}={text!r} is not a whole number of seconds")
    return int(text)


class SoakTest(VellowayTestCase):
    SCREEN = (1280, 720)

    @classmethod
    def setUpClass(cls):
        cls.stats_program = program_from_env(PROCESS_STATS_ENV)
        cls.checker = program_from_env(CHECK_ENV)
        super().setUpClass()
        write_tone(cls.program_dir.unix / TONE, TONE_HZ, TONE_SECONDS)

    def loop_seconds(self, script):
        done = self.prefix.wine(self.checker, *TIMELINE_OPTIONS, "x".join(map(str, self.SCREEN)),
                                script, check=False)
        try:
            return json.loads(done.stdout)["loop"]["seconds"]
        except (ValueError, KeyError) as e:
            raise HarnessError(f"velloway-check --timeline answered {done.returncode}: "
                               f"{done.stdout!r} {done.stderr!r}") from e

    def counts(self, process):
        """(GDI objects, windows) of the saver's process."""
        if not process.is_running():
            self.fail(f"the saver ended by itself (exit status {process.returncode})")
        out = self.prefix.wine(self.stats_program, MAIN_CAPTION).stdout.decode()
        found = re.search(r"GDI=(\d+) USER=(\d+)", out)
        if not found:
            raise HarnessError(f"process_stats answered {out!r}")
        return int(found.group(1)), int(found.group(2))

    def assert_steady(self, what, baseline, end, tolerance):
        self.assertLessEqual(abs(end - baseline), tolerance,
                             f"{what}: {baseline} after loop {WARM_LOOPS}, {end} at the end")

    def test_resources_hold_steady_and_a_key_still_ends_it(self):
        seconds = soak_seconds()
        script = self.set_script("Soak.vws", script_text(("HEADER", "14", "3", "MID", BACK),
                                                         *soak_records()))
        loop = self.loop_seconds(script)
        # Whole loops: two to settle, and at least one more to compare with the second.
        loops = max(WARM_LOOPS + 1, round(seconds / loop))
        sound = self.record_sound("soak")
        self.desktop.mousemove(self.SCREEN[0] - 10, 10)
        process = self.start(SAVER_SWITCH)
        self.wait_shown(process)
        started = time.monotonic()
        self.assertIn(b"velloway.scr", Path(f"/proc/{process.pid}/cmdline").read_bytes(),
                      "the process whose memory is read does not run the saver")

        # Per loop: GDI objects and windows as it ends, and the lowest memory reading of its quiet
        # end. The second loop's are the baseline: by then the fonts are made, the sound libraries
        # loaded, and the heap has settled (under Wine 8 it grows by some 1.5 MB once, in the
        # second loop, music or not, and then holds for good).
        figures = []
        for k in range(1, loops + 1):
            end = started + k * loop
            time.sleep(max(0.0, end - QUIET_SECONDS - time.monotonic()))
            floor = process.memory_kib("RssAnon")
            while time.monotonic() < end:
                time.sleep(MEMORY_INTERVAL)
                floor = min(floor, process.memory_kib("RssAnon"))
            figures.append((*self.counts(process), floor))
            print(f"\nloop {k}: GDI={figures[-1][0]} USER={figures[-1][1]} memory={floor} KiB",
                  end="", flush=True)
        (gdi0, user0, memory0), (gdi, user, memory) = figures[WARM_LOOPS - 1], figures[-1]
        print(f"\nsoak of {loops} loops of {loop:.1f} s, after loop {WARM_LOOPS} -> end: "
              f"GDI {gdi0} -> {gdi}, USER {user0} -> {user}, memory {memory0} -> {memory} KiB "
              f"(peak resident {process.memory_kib('VmHWM')} KiB)", flush=True)

        self.desktop.key("a")
        self.assert_ends(process, 3, f"a key, {loops} loops into the soak")

        self.assertGreater(sound.size, 0, "the BGM records played nothing")
        self.assert_steady("GDI objects", gdi0, gdi, max(COUNT_SLACK, COUNT_FRACTION * gdi0))
        self.assert_steady("windows", user0, user, max(COUNT_SLACK, COUNT_FRACTION * user0))
        self.assert_steady("memory (KiB)", memory0, memory, MEMORY_FRACTION * memory0)


if __name__ == "__main__":
    unittest.main()
