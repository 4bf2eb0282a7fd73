"""Sound a program plays, recorded through ALSA."""

from __future__ import annotations

import array
import struct
from pathlib import Path
from typing import Union

from .processes import HarnessError


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
