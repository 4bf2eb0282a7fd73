"""Music in the Linux program, recorded through SDL's disk driver: WAV, MP3, OGG and FLAC play
once and BGM OFF stops them; a name written on Windows is looked up beside the script with its
backslashes as folders, and a drive letter, a device or a pipe plays nothing while the roll goes
on; MIDI plays where a sound font is installed.

Run: VELLOWAY_NATIVE=/path/to/velloway python3 -m unittest -v test_native_music
(skipped without VELLOWAY_NATIVE; ctest sets it)."""

import os
import shutil
import struct
import subprocess
import time
import unittest
from pathlib import Path

from velloway_e2e.native import NativeTestCase
from velloway_e2e.processes import wait_until
from velloway_e2e.program import script_text
from velloway_e2e.roll import BACK, BLOCK, INK_TOLERANCE, text
from velloway_e2e.sound import SdlDiskCapture, pitch, write_tone

TONE_SECONDS = 4
# How each format is made from a WAV tone of its own pitch (a whole number of samples a period
# at 22050 Hz), so that the recording tells which file played.
FORMATS = {"wav": (441, None),
           "mp3": (315, ["lame", "--quiet", "{wav}", "{out}"]),
           "ogg": (630, ["oggenc", "--quiet", "-o", "{out}", "{wav}"]),
           "flac": (735, ["flac", "--silent", "-o", "{out}", "{wav}"])}
SOUND_FONTS = [Path("/usr/share/sounds/sf2/default-GM.sf2"),
               Path("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
               Path("/usr/share/sounds/sf2/TimGM6mb.sf2")]
# Not silence: well above the noise of lossy coding.
LOUD = 0.05


def write_midi(path):
    """One note (middle A, a piano) held for two seconds, as a type-0 MIDI file."""
    events = bytes([0x00, 0xC0, 0x00,               # program change: piano
                    0x00, 0x90, 69, 100,            # note on
                    0x83, 0x60, 0x80, 69, 0])       # 480 ticks later: note off
    events += bytes([0x00, 0xFF, 0x2F, 0x00])       # end of track
    tempo = bytes([0x00, 0xFF, 0x51, 0x03, 0x1E, 0x84, 0x80])  # 2 s a quarter note
    track = tempo + events
    path.write_bytes(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480)
                     + b"MTrk" + struct.pack(">I", len(track)) + track)


def loud_span(rate, samples):
    """(first, last) second at which the recording is not silent; None when it is silent."""
    loud = [i for i, v in enumerate(samples) if abs(v) > LOUD]
    return (loud[0] / rate, loud[-1] / rate) if loud else None


class NativeMusicTest(NativeTestCase):
    SCREEN = (640, 480)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        music = cls.folder / "music"
        music.mkdir()
        for ext, (hertz, encoder) in FORMATS.items():
            wav = music / f"tone-{ext}.wav"
            write_tone(wav, hertz, TONE_SECONDS)
            if encoder:
                out = music / f"tone.{ext}"
                subprocess.run([a.format(wav=wav, out=out) for a in encoder], check=True,
                               timeout=60)
            else:
                shutil.copy(wav, music / "tone.wav")
        write_midi(music / "tone.mid")

    def play(self, *records, name="sound"):
        """Starts the program on a speed-3 script of records with its sound recorded; returns
        (process, recording) once the window shows the background."""
        sound = SdlDiskCapture(self.folder, f"{name}-{time.monotonic_ns()}")
        self.desktop.mousemove(self.SCREEN[0] - 10, 10)
        process = self.start_playing("Music.vws", script_text(("HEADER", "20", "3", "MID", BACK),
                                                              *records), env=sound.env)
        self.wait_shown(process, BACK)
        return process, sound

    def wait_stopped(self, sound, timeout):
        """The recording once it has stopped growing (the device closed) for a second."""
        last, since = -1, time.monotonic()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if sound.size != last:
                last, since = sound.size, time.monotonic()
            elif last > 0 and time.monotonic() - since >= 1.0:
                return sound.samples()
            time.sleep(0.1)
        self.fail(f"the music was not stopped within {timeout:g} s ({sound.size} bytes)")

    def test_every_format_plays_and_off_stops_it(self):
        for ext, (hertz, _) in FORMATS.items():
            with self.subTest(ext):
                # OFF after about 2 s of a 4 s tone.
                process, sound = self.play(("BGM", "ON", f"music\\tone.{ext}"), ("WAIT", "2"),
                                           ("BGM", "OFF"), ("WAIT", "30"))
                try:
                    rate, samples = self.wait_stopped(sound, timeout=10)
                    self.assertTrue(process.is_running(), "the roll ended with the music")
                finally:
                    self.stop(process)
                span = loud_span(rate, samples)
                self.assertIsNotNone(span, f"{ext}: nothing was played")
                first, last = span
                heard, peak = pitch(rate, samples[int(first * rate):int(last * rate)])
                self.assertAlmostEqual(heard, hertz, delta=hertz * 0.03, msg=f"{ext}: pitch")
                self.assertGreater(peak, 0.3, f"{ext}: the tone is played at half scale")
                self.assertAlmostEqual(last - first, 2.1, delta=0.5,
                                       msg=f"{ext}: seconds of tone before OFF stopped it")

    def test_midi_plays_where_a_sound_font_is_installed(self):
        if not any(font.exists() for font in SOUND_FONTS):
            self.skipTest("no General MIDI sound font installed")
        process, sound = self.play(("BGM", "ON", "music/tone.mid"), ("WAIT", "30"))
        try:
            wait_until(lambda: loud_span(*sound.samples()), 8, what="the MIDI note to sound")
        finally:
            self.stop(process)

    def test_a_drive_letter_plays_nothing_and_the_roll_goes_on(self):
        process, sound = self.play(("BGM", "ON", "C:\\Velloway\\music\\tone.wav"),
                                   text(BLOCK * 4, spacing="40"), ("WAIT", "30"))
        self.desktop.wait_ink(lambda b: b is not None, BACK, INK_TOLERANCE, timeout=5,
                              what="a line")
        time.sleep(1)
        self.assertTrue(process.is_running())
        self.assertEqual(sound.size, 0, "a device was opened for a Windows drive")

    def test_a_device_or_a_pipe_plays_nothing_and_a_key_still_ends_it(self):
        music = self.folder / "music"
        (music / "zero.wav").symlink_to("/dev/zero")
        os.mkfifo(music / "fifo.wav")
        for name in ("zero.wav", "fifo.wav"):
            with self.subTest(name):
                # Reading either would never end, or never begin.
                process, sound = self.play(("BGM", "ON", f"music/{name}"),
                                           text(BLOCK * 4, spacing="40"), ("WAIT", "30"))
                try:
                    self.desktop.wait_ink(lambda b: b is not None, BACK, INK_TOLERANCE,
                                          timeout=5, what="a line after the music")
                    self.desktop.key("a")
                    self.assertEqual(process.wait_exit(2), 0, "exit status after key a")
                finally:
                    self.stop(process)
                self.assertEqual(sound.size, 0, f"a device was opened for {name}")

    def test_sigterm_ends_it_with_the_music_stopped(self):
        process, sound = self.play(("BGM", "ON", "music/tone.wav"), ("WAIT", "30"))
        wait_until(lambda: sound.size > 44100, 5, what="the music to start")
        self.assert_ends_on_sigterm(process)
        self.assert_music_stopped(sound)

if __name__ == "__main__":
    unittest.main()
