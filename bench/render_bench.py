#!/usr/bin/env python3
"""velloway-render's speed: a 60-second roll at 1920x1080 and 50 frames a second into H.264 with
its music, beside the 60 seconds it plays for, and our part of the work (the roll, its pictures,
their conversion, the sound and the muxing) beside the encoder's: FFmpeg's own program encoding
the same frames, read raw from a pipe, with the same encoder settings.

The same frames: velloway-render films the roll once more as numbered PNG pictures (lossless);
one ffmpeg decodes them into raw yuv420p on a pipe, and a second encodes the pipe with libx264
as velloway-render does (preset veryfast, CRF 18, profile high, 4 threads). Only the second is
counted: its CPU time is the encoder's. Our part is velloway-render's CPU time less that. Each
runs three times, in turn with the other; the least time of each counts, the one least disturbed
by whatever else the machine runs. Where perf is installed, one more run is sampled by it: the
share of the CPU in libx264 against the share in everything else but the kernel, a split within
one run that what else the machine runs does not skew.

Run: python3 bench/render_bench.py [--program build/native-release/.../velloway-render]
(scripts/bench --only render builds the release program and runs this). Standard library only;
needs Debian's ffmpeg. Prints figures; asserts nothing.
"""

from __future__ import annotations

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import wave
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
PROGRAM = ROOT / "build" / "native-release" / "src" / "programs" / "render" / "velloway-render"
SECONDS = 60
WIDTH, HEIGHT, FPS = 1920, 1080, 50
# As velloway-render sets libx264 (src/programs/render/film_encoder.cpp).
X264 = ["-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-profile:v", "high",
        "-threads", "4"]

ROLES = ("Directed by", "Written by", "Music", "Camera", "Editing", "Costumes", "Catering",
         "Lights", "Sound", "Thanks to")
NAMES = ("Ada Lovelace", "Björk Guðmundsdóttir", "Ana María Jiménez", "Jean-Luc Picard",
         "Zoë Saldaña", "Grace Hopper", "Katherine Johnson", "Alan Turing", "Hedy Lamarr")


def write_music(path: Path) -> None:
    """A minute and more of a quiet chord, 48 kHz mono."""
    rate = 48000
    frames = bytearray()
    for i in range(rate * (SECONDS + 5)):
        t = i / rate
        value = 0.15 * (math.sin(2 * math.pi * 220 * t) + math.sin(2 * math.pi * 277 * t))
        frames += struct.pack("<h", int(value * 32767))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(frames))


def write_script(path: Path) -> None:
    """Credits as people write them: a title, roles and names, at speed 3, with music."""
    lines = ["HEADER\t20\t3\tMID\t05102A", "BGM\tON\tmusic.wav",
             "TEXT\tTimes New Roman\t10\tThe Year in Pictures\tFFD700\t3"]
    for index in range(150):
        role = ROLES[index % len(ROLES)]
        lines.append(f"TEXT\tArial\t-1\t{role}\t8080FF\t1")
        for name in (NAMES[index % len(NAMES)], NAMES[(index * 7 + 3) % len(NAMES)]):
            lines.append(f"TEXT\tArial\t2\t{name}\tFFFFFF\t1")
        lines[-1] = lines[-1][:-1] + "2"  # a gap after each role
    path.write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")


def timed(command: list, **popen) -> tuple:
    """Runs command; (wall seconds, CPU seconds of the process and what it waited for)."""
    start = time.monotonic()
    process = subprocess.Popen(command, **popen)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise SystemExit(f"{command[0]} failed with status {process.returncode}")
    return wall, usage.ru_utime + usage.ru_stime


def sample_shares(command: list, folder: Path) -> dict:
    """Where one run spends its CPU, by perf's samples of all its threads: {library: percent}."""
    data = folder / "perf.data"
    subprocess.run(["perf", "record", "-q", "-F", "499", "-o", str(data), "--", *command],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report = subprocess.run(["perf", "report", "-i", str(data), "--stdio", "--no-children",
                             "--sort", "dso", "-g", "none"], check=True, capture_output=True,
                            text=True).stdout
    shares = {}
    for line in report.splitlines():
        fields = line.split()
        if len(fields) == 2 and fields[0].endswith("%"):
            shares[fields[1]] = float(fields[0][:-1])
    return shares


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", type=Path, default=PROGRAM)
    parser.add_argument("--rounds", type=int, default=3,
                        help="runs of each; the least time of each counts (default 3)")
    args = parser.parse_args()
    if not args.program.is_file():
        raise SystemExit(f"{args.program} is missing (scripts/bench --only render builds it)")
    if shutil.which("ffmpeg") is None:
        raise SystemExit("ffmpeg is missing (scripts/setup installs it)")
    with tempfile.TemporaryDirectory(prefix="velloway-render-bench-") as made:
        folder = Path(made)
        write_music(folder / "music.wav")
        write_script(folder / "Credits.vws")
        film = [str(args.program), str(folder / "Credits.vws"), "--quiet", "--force", "--size",
                f"{WIDTH}x{HEIGHT}", "--fps", str(FPS), "--duration", str(SECONDS)]
        (folder / "frames").mkdir()
        subprocess.run(film + ["-o", str(folder / "frames" / "%05d.png")], check=True,
                       stderr=subprocess.DEVNULL)

        ours, theirs = [], []
        # Turn about, so that what else runs on the machine weighs on both alike.
        for _ in range(args.rounds):
            ours.append(timed(film + ["-o", str(folder / "credits.mp4")]))
            decode = subprocess.Popen(
                ["ffmpeg", "-v", "error", "-framerate", str(FPS), "-i",
                 str(folder / "frames" / "%05d.png"), "-pix_fmt", "yuv420p", "-f", "rawvideo",
                 "-"], stdout=subprocess.PIPE)
            theirs.append(timed(
                ["ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s",
                 f"{WIDTH}x{HEIGHT}", "-r", str(FPS), "-i", "-", *X264, "-f", "mp4", "-y",
                 str(folder / "ffmpeg.mp4")], stdin=decode.stdout))
            decode.stdout.close()
            decode.wait()
        size = (folder / "credits.mp4").stat().st_size
        shares = (sample_shares(film + ["-o", str(folder / "credits.mp4")], folder)
                  if shutil.which("perf") else None)

    wall, cpu = min(w for w, _ in ours), min(c for _, c in ours)
    encode_wall, encode_cpu = min(w for w, _ in theirs), min(c for _, c in theirs)
    part = cpu - encode_cpu
    print(f"A {SECONDS}-second roll at {WIDTH}x{HEIGHT}, {FPS} frames a second, H.264 + AAC "
          f"({size / 1e6:.1f} MB), on {os.cpu_count()} cores, least of {args.rounds} runs "
          f"(load average {os.getloadavg()[0]:.1f} at the end):")
    print(f"  velloway-render: {wall:.1f} s ({SECONDS / wall:.2f}x faster than real time; "
          f"goal 2x), CPU {cpu:.1f} s")
    print(f"  ffmpeg encoding the same frames from a pipe: {encode_wall:.1f} s, "
          f"CPU {encode_cpu:.1f} s")
    print(f"  our part (velloway-render's CPU less the encoder's): {part:.1f} s, "
          f"{part / encode_cpu:.2f}x the encoder's (goal at most 0.3x)")
    if shares:
        x264 = sum(share for name, share in shares.items() if "libx264" in name)
        kernel = sum(share for name, share in shares.items() if name.startswith("["))
        rest = 100 - x264 - kernel
        print(f"  perf's samples of one run: libx264 {x264:.1f} %, the kernel {kernel:.1f} %, "
              f"everything else {rest:.1f} %: our part {rest / x264:.2f}x the encoder's")
    return 0


if __name__ == "__main__":
    sys.exit(main())
