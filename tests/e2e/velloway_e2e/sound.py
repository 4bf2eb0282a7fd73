"""Sound a program plays, recorded through ALSA (Wine) or SDL's disk driver (the Linux program);
tones to play, each of its own pitch so that a recording tells which one played."""

from __future__ import annotations

import array
import math
import struct
import wave
from pathlib import Path
from typing import Union

from .processes import HarnessError

TONE_RATE = 22050


def write_tone(path: Path, hertz: int, seconds: int) -> int:
    """A sine tone at half scale, 22050 Hz mono 16-bit, whose period is a whole number of
    samples. Returns the file's size."""
    period = TONE_RATE // hertz
    assert period * hertz == TONE_RATE
    one = b"".join(struct.pack("<h", round(16000 * math.sin(2 * math.pi * i / period)))
                   for i in range(period))
    path.parent.mkdir(parents=True, exist_ok=True)
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(TONE_RATE)
        out.writeframes(one * (hertz * seconds))
    return path.stat().st_size


def pitch(rate: int, samples) -> tuple:
    """(hertz, peak) of a recorded tone, from its upward zero crossings."""
    rising = sum(1 for a, b in zip(samples, samples[1:]) if a < 0 <= b)
    return rising * rate / len(samples), max(map(abs, samples))


class SoundCapture:
    """Records what a program plays: ALSA's file plugin in front of the null device writes every
    sample Wine sends to the default device into a WAV file (nothing is heard). Takes effect for
    programs started after prefix.alsa_config = capture.config."""

    def __init__(self, directory: Union[str, Path], name: str = "sound"):
        directory = Path(directory)
        directory.mkdir(parents=True, exist_ok=True)
        self.wav = directory / f"{name}.wav"
        self.config = directory / f"{name}.alsa.conf"
        self.wav.unlink(missing_ok=True)
        self.config.write_text(
            "pcm.!default {\n"
            "  type file\n"
            "  slave { pcm { type null } }\n"
            f"  file \"{self.wav}\"\n"
            "  format \"wav\"\n"
            "}\n"
            "ctl.!default { type hw card 0 }\n")

    @property
    def size(self) -> int:
        """Bytes written so far; 0 while nothing has opened the device."""
        try:
            return self.wav.stat().st_size
        except OSError:
            return 0

    def samples(self) -> tuple:
        """(sample rate, the first channel's samples scaled to -1..1) of what was played so far.
        The header's lengths are not trusted: the file may still be growing."""
        data = self.wav.read_bytes() if self.wav.exists() else b""
        fmt, pcm = None, None
        at = 12 if data[:4] == b"RIFF" and data[8:12] == b"WAVE" else len(data)
        while at + 8 <= len(data):
            kind, length = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
            if kind == b"fmt ":
                fmt = struct.unpack("<HHIIHH", data[at + 8:at + 24])
            elif kind == b"data":
                pcm = data[at + 8:]
                break
            at += 8 + length + (length & 1)
        if fmt is None or pcm is None:
            return 0, []
        tag, channels, rate, _, block, bits = fmt
        codes = {(1, 16): ("h", 32768.0), (1, 32): ("i", 2147483648.0), (3, 32): ("f", 1.0)}
        if (tag, bits) not in codes or block != channels * bits // 8:
            raise HarnessError(f"recorded sound in an unexpected format {fmt}")
        code, scale = codes[(tag, bits)]
        values = array.array(code)
        values.frombytes(pcm[:len(pcm) // block * block])
        return rate, [v / scale for v in values[::channels]]


class SdlDiskCapture:
    """Records what a program using SDL plays: SDL's disk driver writes every sample to a raw
    file (signed 16-bit, native order, interleaved as the program opened the device) instead of
    a sound card. Pass env to the program."""

    def __init__(self, directory: Union[str, Path], name: str = "sound", rate: int = 44100,
                 channels: int = 2):
        directory = Path(directory)
        directory.mkdir(parents=True, exist_ok=True)
        self.raw = directory / f"{name}.raw"
        self.raw.unlink(missing_ok=True)
        self.rate, self.channels = rate, channels
        self.env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": str(self.raw)}

    @property
    def size(self) -> int:
        try:
            return self.raw.stat().st_size
        except OSError:
            return 0

    def samples(self) -> tuple:
        """(sample rate, the first channel's samples scaled to -1..1) of what was played so far."""
        data = self.raw.read_bytes() if self.raw.exists() else b""
        block = 2 * self.channels
        values = array.array("h")
        values.frombytes(data[:len(data) // block * block])
        return self.rate, [v / 32768.0 for v in values[::self.channels]]
