#!/usr/bin/env python3
"""velloway-render's speed in every format: two rolls at 1920x1080 and 50 frames a second, each
film beside the time it plays for and beside FFmpeg's own program encoding the same frames with
the same settings; our part of the work (the roll, its pictures, their conversion, the sound and
the muxing) beside the encoder's; and, where the settings trade quality for speed, the films'
quality beside the settings used before, read back by ffmpeg.

The rolls: the credits of a film as people write them (a title, then 150 roles of two names
each, speed 3, a minute of music), its first 60 seconds; and a dense roll, 80 names one line
apart, its first 15 seconds, whose lines roll on every frame. Each is filmed once more as
numbered PNG pictures (lossless): the same frames. One ffmpeg decodes them into the encoder's raw
pixels on a pipe, a second encodes the pipe as velloway-render does (ENCODERS below mirrors
src/programs/render/film_encoder.cpp), and only the second is counted: its CPU time is the
encoder's; our part is velloway-render's CPU time less that. With --rounds N each runs N times,
in turn with the other, and the least time of each counts. Where perf is installed, one more run
of each film is sampled by it: the share of the CPU of the encoders (their libraries, and the
threads they start) against ours (the rest of the main thread and of the encoding thread) but
the kernel's, a split within one run that what else the machine runs does not skew. --transparent films (of the formats that carry alpha) are measured the same way.

Quality: the dense roll's lossy films (H.264, VP9, ProRes) and the same frames encoded by ffmpeg
with the settings used before (BEFORE below), each against the lossless pictures in the
encoder's pixels: SSIM and PSNR of the luma, by ffmpeg's ssim and psnr filters.

Run: python3 bench/render_bench.py [--program build/native-release/.../velloway-render]
[--only mp4,webm,mov,png,gif] [--rolls credits,dense] [--rounds 1] [--no-transparent]
[--no-quality] (scripts/bench --only render builds the release program and runs this). Standard
library only; needs Debian's ffmpeg. Prints figures; asserts nothing.
"""

from __future__ import annotations

import argparse
import math
import os
import re
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
WIDTH, HEIGHT, FPS = 1920, 1080, 50
ENCODING_THREAD = "velloway-encode"  # EncodingThread::kName
ROLLS = {"credits": 60, "dense": 15}  # seconds filmed

# How velloway-render encodes each format (src/programs/render/film_encoder.cpp): output name,
# pixels (opaque, with alpha), the encoder's arguments for each, and the libraries perf finds it in.
ENCODERS = {
    "mp4": ("film.mp4", ("yuv420p", None),
            ["-c:v", "libx264", "-preset", "ultrafast", "-qp", "20", "-profile:v", "high",
             "-x264-params", "cabac=1:bframes=3:deblock=1", "-threads", "4"], None,
            ("libx264", "libavcodec")),  # libavcodec: the sound's AAC
    "webm": ("film.webm", ("yuv420p", "yuva420p"),
             ["-c:v", "libvpx-vp9", "-crf", "22", "-b:v", "0", "-deadline", "realtime",
              "-cpu-used", "8", "-row-mt", "1", "-threads", "4"], None, ("libvpx",)),
    "mov": ("film.mov", ("yuv422p10le", "yuva444p10le"),
            ["-c:v", "prores_ks", "-profile:v", "3", "-vendor", "apl0", "-q:v", "1",
             "-threads", "4"],
            ["-c:v", "prores_ks", "-profile:v", "4", "-vendor", "apl0", "-q:v", "1",
             "-threads", "4"], ("libavcodec",)),
    "png": ("film/%05d.png", ("rgb24", "rgba"),
            ["-c:v", "png", "-compression_level", "3", "-threads", "4", "-f", "image2"], None,
            ("libavcodec", "libz")),  # PNG's deflate is zlib's
    # velloway-render maps each frame onto the roll's own colours; the yardstick takes libswscale's
    # fixed palette, which costs about the same to encode.
    "gif": ("film.gif", ("pal8", "pal8"), ["-c:v", "gif", "-threads", "4"], None,
            ("libavcodec",)),
}
# The settings used before, for the quality beside them.
BEFORE = {
    "mp4": ["-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-profile:v", "high",
            "-threads", "4"],
    "webm": ["-c:v", "libvpx-vp9", "-crf", "31", "-b:v", "0", "-deadline", "good", "-cpu-used",
             "4", "-row-mt", "1", "-threads", "4"],
    "mov": ["-c:v", "prores_ks", "-profile:v", "3", "-vendor", "apl0", "-threads", "4"],
}
COLOUR = ["-color_range", "tv", "-colorspace", "bt709", "-color_primaries", "bt709",
          "-color_trc", "bt709"]

ROLES = ("Directed by", "Written by", "Music", "Camera", "Editing", "Costumes", "Catering",
         "Lights", "Sound", "Thanks to")
NAMES = ("Ada Lovelace", "Björk Guðmundsdóttir", "Ana María Jiménez", "Jean-Luc Picard",
         "Zoë Saldaña", "Grace Hopper", "Katherine Johnson", "Alan Turing", "Hedy Lamarr")


def write_music(path: Path, seconds: int) -> None:
    """A quiet chord, 48 kHz mono."""
    rate = 48000
    frames = bytearray()
    for i in range(rate * seconds):
        t = i / rate
        value = 0.15 * (math.sin(2 * math.pi * 220 * t) + math.sin(2 * math.pi * 277 * t))
        frames += struct.pack("<h", int(value * 32767))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(frames))


def credits_script() -> str:
    """Credits as people write them: a title, roles and names, at speed 3, with music."""
    lines = ["HEADER\t20\t3\tMID\t05102A", "BGM\tON\tmusic.wav",
             "TEXT\tTimes New Roman\t10\tThe Year in Pictures\tFFD700\t3"]
    for index in range(150):
        role = ROLES[index % len(ROLES)]
        lines.append(f"TEXT\tArial\t-1\t{role}\t8080FF\t1")
        for name in (NAMES[index % len(NAMES)], NAMES[(index * 7 + 3) % len(NAMES)]):
            lines.append(f"TEXT\tArial\t2\t{name}\tFFFFFF\t1")
        lines[-1] = lines[-1][:-1] + "2"  # a gap after each role
    return "\r\n".join(lines) + "\r\n"


def dense_script() -> str:
    """80 names one line apart: from the first tick to the last, a line rolls on every frame."""
    lines = ["HEADER\t20\t3\tMID\t000000"]
    for index in range(80):
        name = f"{NAMES[index % len(NAMES)]} {ROLES[index % len(ROLES)]}"
        lines.append(f"TEXT\tArial\t2\t{name}\tFFFFFF\t1")
    return "\r\n".join(lines) + "\r\n"


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


def sample_shares(command: list, folder: Path, libraries: tuple) -> tuple:
    """Where one run spends its CPU, by perf's samples of all its threads, in percent: (the
    encoders', the kernel's, ours). The encoders': their libraries in any thread, and all of the
    threads they start; ours: the rest of the main thread and of velloway-render's encoding
    thread (ENCODING_THREAD), where our drawing, conversion and muxing run."""
    data = folder / "perf.data"
    subprocess.run(["perf", "record", "-q", "-F", "499", "-o", str(data), "--", *command],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report = subprocess.run(["perf", "report", "-i", str(data), "--stdio", "--no-children",
                             "--sort", "pid,dso", "-g", "none"], check=True, capture_output=True,
                            text=True).stdout
    samples = []  # (percent, thread id, thread name, library)
    for line in report.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0].endswith("%") and ":" in fields[1]:
            tid, name = fields[1].split(":", 1)
            samples.append((float(fields[0][:-1]), int(tid), name, fields[2]))
    main_thread = min(tid for _, tid, name, _ in samples if name != ENCODING_THREAD)
    encoders = kernel = ours = 0.0
    for share, tid, name, library in samples:
        if library.startswith("["):
            kernel += share
        elif any(lib in library for lib in libraries) or (
                tid != main_thread and name != ENCODING_THREAD):
            encoders += share
        else:
            ours += share
    return encoders, kernel, ours


def pipe_in(frames: Path, pixels: str) -> subprocess.Popen:
    """One ffmpeg decoding the lossless pictures into raw pixels on a pipe."""
    return subprocess.Popen(["ffmpeg", "-v", "error", "-framerate", str(FPS), "-i",
                             str(frames / "%05d.png"), "-pix_fmt", pixels, "-f", "rawvideo",
                             "-"], stdout=subprocess.PIPE)


def raw_input(pixels: str) -> list:
    return ["-f", "rawvideo", "-pix_fmt", pixels, "-s", f"{WIDTH}x{HEIGHT}", "-r", str(FPS), "-i",
            "-"]


def encode_pipe(frames: Path, pixels: str, encoder: list, output: Path) -> tuple:
    """The yardstick: ffmpeg encoding the frames from a pipe; only the encoding process counts."""
    decode = pipe_in(frames, pixels)
    taken = timed(["ffmpeg", "-v", "error", *raw_input(pixels), *encoder, *COLOUR, "-y",
                   str(output)], stdin=decode.stdout)
    decode.stdout.close()
    decode.wait()
    return taken


def quality(film: Path, frames: Path, pixels: str) -> str:
    """SSIM and PSNR of a film's luma against the lossless pictures in the same pixels."""
    reference = pipe_in(frames, pixels)
    done = subprocess.run(["ffmpeg", "-v", "info", "-i", str(film), *raw_input(pixels),
                           "-lavfi", "[0:v][1:v]ssim;[0:v][1:v]psnr", "-f", "null", "-"],
                          stdin=reference.stdout, capture_output=True, text=True, check=False)
    reference.stdout.close()
    reference.wait()
    ssim = re.search(r"SSIM Y:([0-9.]+)", done.stderr)
    psnr = re.search(r"PSNR y:([0-9.inf]+)", done.stderr)
    if not ssim or not psnr:
        return "(ffmpeg read no quality)"
    return f"SSIM {float(ssim.group(1)):.6f}, PSNR {psnr.group(1)} dB"


def size_of(path: Path) -> int:
    if "%" in path.name:
        return sum(p.stat().st_size for p in path.parent.iterdir())
    return path.stat().st_size


class Bench:
    def __init__(self, args, folder: Path):
        self.args = args
        self.folder = folder

    def film(self, roll: str, output: Path, transparent: bool) -> list:
        if "%" in output.name:
            shutil.rmtree(output.parent, ignore_errors=True)
            output.parent.mkdir()
        return [str(self.args.program), str(self.folder / f"{roll}.vws"), "--quiet", "--force",
                "--size", f"{WIDTH}x{HEIGHT}", "--fps", str(FPS), "--duration",
                str(ROLLS[roll]), "-o", str(output)] + (["--transparent"] if transparent else [])

    def lossless(self, roll: str, transparent: bool) -> Path:
        frames = self.folder / f"{roll}-{'clear' if transparent else 'opaque'}"
        if not frames.exists():
            subprocess.run(self.film(roll, frames / "%05d.png", transparent), check=True,
                           stderr=subprocess.DEVNULL)
        return frames

    def measure(self, roll: str, name: str, transparent: bool) -> None:
        output, pixels, opaque, clear, libraries = ENCODERS[name]
        encoder = clear if transparent and clear else opaque
        pixel = pixels[1] if transparent else pixels[0]
        film = self.folder / output
        frames = self.lossless(roll, transparent) if encoder else None
        ours, theirs = [], []
        for _ in range(self.args.rounds):  # turn about, so that other work weighs on both alike
            ours.append(timed(self.film(roll, film, transparent)))
            if encoder:
                yardstick = self.folder / ("yardstick" + Path(output).suffix)
                if "%" in output:
                    shutil.rmtree(self.folder / "yardstick", ignore_errors=True)
                    (self.folder / "yardstick").mkdir()
                    yardstick = self.folder / "yardstick" / "%05d.png"
                theirs.append(encode_pipe(frames, pixel, encoder, yardstick))
        seconds = ROLLS[roll]
        wall, cpu = min(w for w, _ in ours), min(c for _, c in ours)
        line = (f"  {name:4} {'clear' if transparent else 'opaque':6} {size_of(film) / 1e6:7.1f} MB"
                f"  {wall:6.1f} s, {seconds / wall:5.2f}x real time, CPU {cpu:6.1f} s")
        if theirs:
            encode_wall, encode_cpu = min(w for w, _ in theirs), min(c for _, c in theirs)
            part = cpu - encode_cpu
            line += (f"; ffmpeg from a pipe {encode_wall:6.1f} s, CPU {encode_cpu:6.1f} s; our part "
                     f"{part:5.1f} s CPU, {part / encode_cpu:5.2f}x the encoder's")
        if shutil.which("perf"):
            encoding, kernel, rest = sample_shares(self.film(roll, film, transparent),
                                                   self.folder, libraries)
            line += (f"; perf: encoders {encoding:.1f} %, kernel {kernel:.1f} %, ours "
                     f"{rest:.1f} %, {rest / max(encoding, 0.1):.2f}x")
        print(line, flush=True)
        if roll == "dense" and not transparent and name in BEFORE and self.args.quality:
            before = self.folder / ("before" + Path(output).suffix)
            encode_pipe(frames, pixel, BEFORE[name], before)
            print(f"         quality against the lossless frames: these settings "
                  f"{quality(film, frames, pixel)} ({size_of(film) / 1e6:.1f} MB); "
                  f"before {quality(before, frames, pixel)} "
                  f"({size_of(before) / 1e6:.1f} MB)", flush=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", type=Path, default=PROGRAM)
    parser.add_argument("--rounds", type=int, default=1,
                        help="runs of each; the least time of each counts (default 1)")
    parser.add_argument("--only", default=",".join(ENCODERS), help="formats (default all)")
    parser.add_argument("--rolls", default=",".join(ROLLS), help="rolls (default both)")
    parser.add_argument("--no-transparent", dest="transparent", action="store_false")
    parser.add_argument("--no-quality", dest="quality", action="store_false")
    args = parser.parse_args()
    if not args.program.is_file():
        raise SystemExit(f"{args.program} is missing (scripts/bench --only render builds it)")
    if shutil.which("ffmpeg") is None:
        raise SystemExit("ffmpeg is missing (scripts/setup installs it)")
    formats = [name for name in args.only.split(",") if name]
    with tempfile.TemporaryDirectory(prefix="velloway-render-bench-") as made:
        folder = Path(made)
        write_music(folder / "music.wav", ROLLS["credits"] + 5)
        (folder / "credits.vws").write_text(credits_script(), encoding="utf-8")
        (folder / "dense.vws").write_text(dense_script(), encoding="utf-8")
        bench = Bench(args, folder)
        print(f"velloway-render at {WIDTH}x{HEIGHT}, {FPS} frames a second, on {os.cpu_count()} "
              f"cores, least of {args.rounds} run(s), load average {os.getloadavg()[0]:.1f} at "
              f"the start (goals, opaque: every format at least real time, .mp4 3x, our part at "
              f"most 0.3x the encoder's):", flush=True)
        for roll in [name for name in args.rolls.split(",") if name]:
            print(f"{roll}: {ROLLS[roll]} s", flush=True)
            for name in formats:
                bench.measure(roll, name, False)
            if args.transparent:
                for name in formats:
                    if name != "mp4":
                        bench.measure(roll, name, True)
        print(f"load average {os.getloadavg()[0]:.1f} at the end")
    return 0


if __name__ == "__main__":
    sys.exit(main())
