"""Background music: BGM ON plays a WAV file named relative to the program's folder, by full path
or with blanks in its name; a missing file or an OFF with nothing playing leaves the roll running
and opens no window; OFF stops the music; the saver ends promptly while music plays.

What is played is recorded through ALSA's file plugin (SoundCapture): each test file holds a tone
of its own pitch, so the recording tells which file played.

Run: VELLOWAY_SCR=/path/to/velloway.scr python3 -m unittest -v test_music
(skipped without VELLOWAY_SCR; ctest sets it)."""

import time
import unittest

from velloway_e2e.processes import HarnessError, wait_until
from velloway_e2e.program import script_text
from velloway_e2e.roll import BACK, BLOCK, INK_TOLERANCE
from velloway_e2e.sound import TONE_RATE, pitch, write_tone
from velloway_e2e.testcase import VellowayTestCase

# Pitches whose period is a whole number of samples at 22050 Hz.
RELATIVE_HZ, FULL_PATH_HZ, BLANKS_HZ, LONG_HZ = 441, 735, 630, 315
LONG_SECONDS = 30


class MusicTest(VellowayTestCase):
    SCREEN = (1024, 768)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        folder = cls.program_dir.unix
        write_tone(folder / "relative.wav", RELATIVE_HZ, 4)
        write_tone(folder / "with some blanks.wav", BLANKS_HZ, 4)
        write_tone(cls.prefix.drive_c / "Music" / "theme.wav", FULL_PATH_HZ, 4)
        cls.long_bytes = write_tone(folder / "long.wav", LONG_HZ, LONG_SECONDS)

    def play(self, *records):
        """Starts the saver on a speed-3 script of records with its sound recorded. Returns
        (process, recording, main window id, the windows that were there before)."""
        sound = self.record_sound(f"sound-{time.monotonic_ns()}")
        self.desktop.mousemove(self.SCREEN[0] - 10, 10)
        before = self.desktop.visible_windows()
        process = self.start_playing("Music.vws", script_text(("HEADER", "20", "3", "MID", BACK),
                                                              *records))
        wid = self.wait_shown(process, BACK)
        return process, sound, wid, before

    def assert_roll_goes_on(self, process, before):
        """A line enters at the bottom and then rises at least 50 px."""
        try:
            _, (_, top, _, _) = self.desktop.wait_ink(
                lambda b: b is not None, BACK, INK_TOLERANCE, timeout=5, what="a line")
            self.desktop.wait_ink(lambda b: b is not None and b[1] <= top - 50, BACK,
                                  INK_TOLERANCE, timeout=5, what="the line to rise 50 px")
        except HarnessError as e:
            self.desktop.screenshot(self.artifact("roll.png"))
            # A modal message box stops the roll: name it.
            new = {w: self.desktop.window_name(w)
                   for w in self.desktop.visible_windows() - before}
            self.fail(f"the roll stopped: {e} (running: {process.is_running()}, "
                      f"windows on screen that were not there before: {new})")
        self.assertTrue(process.is_running())

    def assert_no_new_window(self, wid, before):
        now = self.desktop.visible_windows()
        # The saver's own window is seen: a dialog would be seen the same way.
        self.assertIn(wid, now)
        new = now - before - {wid}
        if new:
            self.desktop.screenshot(self.artifact("new-window.png"))
        self.assertEqual({w: self.desktop.window_name(w) for w in new}, {},
                         "windows opened while the saver ran")

    def assert_tone(self, sound, hertz):
        try:
            wait_until(lambda: sound.size > TONE_RATE, timeout=5, what="sound to be played")
        except HarnessError:
            self.fail(f"nothing was played ({sound.size} bytes recorded)")
        rate, samples = sound.samples()
        self.assertGreater(len(samples), rate // 4, f"{sound.size} bytes recorded, no samples")
        heard, peak = pitch(rate, samples)
        self.assertAlmostEqual(heard, hertz, delta=hertz * 0.03,
                               msg=f"pitch of {len(samples) / rate:.2f} s played")
        self.assertGreater(peak, 0.3, "the tone is played at half scale")

    def test_music_plays_by_relative_name_full_path_and_blanks(self):
        cases = [("relative.wav", RELATIVE_HZ), ("C:\\Music\\theme.wav", FULL_PATH_HZ),
                 ("with some blanks.wav", BLANKS_HZ)]
        for name, hertz in cases:
            with self.subTest(name=name):
                process, sound, wid, before = self.play(
                    ("BGM", "ON", name), ("TEXT", "DejaVu Sans", "0", BLOCK * 4, "FFFFFF", "40"),
                    ("WAIT", "30"))
                try:
                    self.assert_roll_goes_on(process, before)
                    self.assert_tone(sound, hertz)
                    self.assert_no_new_window(wid, before)
                finally:
                    self.stop(process)

    def test_missing_file_leaves_the_roll_running_in_silence(self):
        process, sound, wid, before = self.play(
            ("BGM", "ON", "not here.wav"),
            ("TEXT", "DejaVu Sans", "0", BLOCK * 4, "FFFFFF", "40"), ("WAIT", "30"))
        self.assert_roll_goes_on(process, before)
        self.assert_no_new_window(wid, before)
        self.assertEqual(sound.size, 0, "something was played")

    def test_off_with_nothing_open_opens_no_window(self):
        process, sound, wid, before = self.play(
            ("BGM", "OFF"), ("TEXT", "DejaVu Sans", "0", BLOCK * 4, "FFFFFF", "40"),
            ("WAIT", "30"))
        self.assert_roll_goes_on(process, before)
        self.assert_no_new_window(wid, before)
        self.assertEqual(sound.size, 0, "something was played")

    def test_off_stops_the_music(self):
        process, sound, wid, before = self.play(
            ("BGM", "ON", "long.wav"), ("TEXT", "DejaVu Sans", "0", BLOCK * 4, "FFFFFF", "1"),
            ("BGM", "OFF"), ("TEXT", "DejaVu Sans", "0", BLOCK * 8, "FFFFFF", "40"),
            ("WAIT", "30"))
        self.assert_tone(sound, LONG_HZ)
        self.assert_roll_goes_on(process, before)
        sizes = [sound.size]
        for _ in range(5):
            time.sleep(0.2)
            sizes.append(sound.size)
        self.assertEqual(len(set(sizes)), 1, f"still playing after BGM OFF: {sizes} bytes")
        self.assertLess(sizes[-1], self.long_bytes / 2,
                        f"the piece went on to {sizes[-1]} of {self.long_bytes} bytes")
        self.assert_no_new_window(wid, before)

    def test_saver_ends_promptly_while_music_plays(self):
        endings = {"key": lambda: self.desktop.key("a"),
                   "pointer jump": lambda: self.desktop.mousemove_relative(-60, 40)}
        for how, end in endings.items():
            with self.subTest(ending=how):
                process, sound, _, _ = self.play(
                    ("BGM", "ON", "long.wav"),
                    ("TEXT", "DejaVu Sans", "0", BLOCK * 4, "FFFFFF", "40"), ("WAIT", "30"))
                try:
                    self.assert_tone(sound, LONG_HZ)
                    playing = sound.size
                    wait_until(lambda: sound.size > playing, timeout=1, what="the music going on")
                    self.assertLess(sound.size, self.long_bytes / 2, "the piece is nearly over")
                    end()
                    elapsed = self.assert_ends(process, 2, f"the {how} (music playing)")
                    print(f"\n{how}: ended {elapsed:.2f} s after", flush=True)
                finally:
                    self.stop(process)


if __name__ == "__main__":
    unittest.main()
