#!/usr/bin/env python3
"""Writes chime.wav, the short sound of the sample scripts: two soft bell partials that fade out.
Made by the build, so the project ships no borrowed sound. Usage: make_chime.py OUTPUT.wav"""

import math
import struct
import sys
import wave

RATE = 22050
SECONDS = 2.5
# A bell-like tone: a fundamental and two inharmonic partials, each fading at its own pace.
PARTIALS = ((659.25, 0.55, 1.6), (1318.5, 0.25, 2.4), (1976.0, 0.12, 3.5))  # (Hz, level, decay/s)


def sample(t):
    value = sum(level * math.exp(-decay * t) * math.sin(2 * math.pi * freq * t)
                for freq, level, decay in PARTIALS)
    attack = min(1.0, t / 0.005)  # a 5 ms rise, so the start does not click
    return attack * value


def main(path):
    frames = bytearray()
    for i in range(int(RATE * SECONDS)):
        frames += struct.pack("<h", int(max(-1.0, min(1.0, sample(i / RATE))) * 32000))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


if __name__ == "__main__":
    main(sys.argv[1])
