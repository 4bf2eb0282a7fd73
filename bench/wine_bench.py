#!/usr/bin/env python3
"""Runs the benchmark programs and prints their figures, each beside its yardstick in one run.

scripts/bench builds the programs and calls this. Eight measurements:

  loader   loader_bench (native release build): loading scripts of 100,000 ordinary lines and of
           2,000,000 one-character lines against a plain read of the same file split at line
           ends, in time and heap memory; then the heap's peak while loading the costliest
           scripts the 256 MB limit allows.
  repaint  repaint_bench.exe on a 3840x2160 display: one roll tick against a full-window repaint.
  text     text_bench.exe: a 60-character Latin line measured and drawn into its image, beside
           names in Arabic, Hebrew and Devanagari (shaped, with fallback faces); then the Latin
           line's image at rest against one between whole pixels, at 20 and 40 pt.
  memory   velloway.scr /s playing samples/Default.vws, then a 100,000-line script, then a bare
           window: the resident set (what Wine reports as the working set) and its peak, read from
           /proc/<pid>/status after the first frame and some seconds of rolling.
  startup  velloway.scr /s against bare_window.exe: the time from starting the process to its
           first painted frame. Both paint the same distinctive colour full screen; a probe reads
           the centre pixel of the X screen (Xlib XGetImage through ctypes) every millisecond from
           just before the process is started until that colour shows. The runs alternate, after
           one discarded warm-up run each, with the prefix's wineserver kept running (`wineserver
           -p`), as it is for every program but the first of a session.
  render   velloway-render (native release build): a 60-second roll and a dense one at
           1920x1080 and 50 frames a second into every format, opaque and transparent, beside
           their playing time and beside ffmpeg encoding the same frames, and the lossy films'
           quality beside the settings used before (render_bench.py).
  smooth   at 1920x1080 and at 3840x2160: frame_bench.exe (Windows backend, under Wine) and
           frame_bench (the Linux program's X11 backend) time smooth motion's frames at speeds
           1, 2 and 3 and the classic roll's ticks (frames and distinct frames per second,
           intervals, the work of each; smooth_bench.py), then the CPU of velloway.scr /s with
           smooth motion and without, an idle bare window, the Linux velloway classic and
           --smooth, and fontglide, side by side as in cpu.
  cpu      velloway.scr /s playing samples/Default.vws at speed 3, an idle bare_window.exe,
           xscreensaver's fontglide (native), and the Linux program velloway playing the same
           script full screen, classic and with --smooth, over the same seconds: each on its own
           Xvfb display, the Wine ones each in its own copy of the Wine prefix, so that the
           wineserver, Wine's helper processes (explorer, services...) and the X server of each
           are its own. CPU time
           is utime + stime from /proc/<pid>/stat, taken after all have painted and settled, and
           again at the end.
  wayland  the Linux program on Wayland (headless sway) against the same on X11 (Xvfb) at
           1920x1080, classic and --smooth: CPU seconds a minute, alone and with the display
           server; and the frames a second smooth motion shows on Wayland at speeds 1 to 3, read
           from the program's protocol trace (wayland_bench.py).

The displays, prefix copies and programs come from the end-to-end tests' harness
(tests/e2e/velloway_e2e, through measuring.py), and everything started here is stopped here, by
PID or by prefix (`wineserver -k`), also on an error or Ctrl-C: Xvfb on a free display in
:60-:69, the copies of build/wine-prefix, the programs. cpu_bench.py holds cpu, smooth_bench.py smooth, wayland_bench.py wayland.
Standard library only.
"""

from __future__ import annotations

import argparse
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

from cpu_bench import run_cpu
from measuring import (NATIVE_IN_BUILD, ROOT, SAVER_IN_BUILD, STARTUP_COLOUR, BenchError,
                       header_colour, prefix_copy, wait_for_colour, wine_program, xvfb)
from smooth_bench import run_smooth
from wayland_bench import run_wayland
from velloway_e2e.processes import HarnessError
from velloway_e2e.program import SAVER_SWITCH, choose_script
from velloway_e2e.wine import WinePrefix
from velloway_e2e.xlib import XConnection


def run_bench_program(args, name: str, width: int, height: int, *options: str) -> None:
    """One of the Windows benchmark programs on its own display and prefix copy; its figures
    printed as it wrote them."""
    files = {name: args.build / "bench" / name}
    with xvfb(width, height) as desktop, prefix_copy(args.prefix, desktop, files) as prefix:
        result = prefix.wine(f"C:\\Velloway\\{name}", *options, timeout=1800, check=False)
        sys.stdout.write(result.stdout.decode(errors="replace"))
        if result.returncode != 0:
            sys.stderr.write(result.stderr.decode(errors="replace"))
            raise BenchError(f"{name} failed with status {result.returncode}")


def run_repaint(args) -> None:
    run_bench_program(args, "repaint_bench.exe", 3840, 2160, "--rounds", str(args.repaint_rounds))


def run_text(args) -> None:
    run_bench_program(args, "text_bench.exe", 1920, 1080)


def startup_script() -> bytes:
    return (f"HEADER\t14\t3\tMID\t{STARTUP_COLOUR:06X}\r\n"
            "TEXT\tArial\t0\tStart-up\tFFFFFF\t1\r\n").encode()


def time_first_frame(screen: XConnection, prefix: WinePrefix, command: list[str]) -> float:
    wait_for_colour(screen, prefix.desktop, STARTUP_COLOUR, present=False, timeout=10)
    start = time.monotonic()
    with wine_program(prefix, *command) as process:
        painted = wait_for_colour(screen, prefix.desktop, STARTUP_COLOUR, present=True,
                                  timeout=30, process=process)
    return painted - start


def run_startup(args) -> None:
    files = {"velloway.scr": args.build / SAVER_IN_BUILD,
             "bare_window.exe": args.build / "bench" / "bare_window.exe",
             "startup.vws": startup_script()}
    # The prefix's wineserver stays up between the runs, until the prefix ends.
    with (xvfb(1920, 1080) as desktop, prefix_copy(args.prefix, desktop, files) as prefix,
          XConnection(desktop.display) as screen):
        choose_script(prefix, "startup.vws")
        programs = {
            "velloway.scr /s": [r"C:\Velloway\velloway.scr", SAVER_SWITCH],
            "bare window": [r"C:\Velloway\bare_window.exe", f"{STARTUP_COLOUR:06X}"],
        }
        times: dict[str, list[float]] = {name: [] for name in programs}
        for run in range(args.startup_runs + 1):
            for name, command in programs.items():
                seconds = time_first_frame(screen, prefix, command)
                if run > 0:  # the first run of each only warms up
                    times[name].append(seconds)
    saver = statistics.median(times["velloway.scr /s"])
    bare = statistics.median(times["bare window"])
    print(f"Start-up: process start to first painted frame, 1920x1080, wineserver running, "
          f"{args.startup_runs} alternating runs each (after one warm-up)\n")
    print(f"{'':18} {'median':>8} {'min':>8} {'max':>8}")
    for name, label in (("velloway.scr /s", "velloway.scr /s"), ("bare window", "bare window")):
        values = times[name]
        print(f"{label:18} {statistics.median(values) * 1000:6.0f} ms {min(values) * 1000:5.0f} ms "
              f"{max(values) * 1000:5.0f} ms")
    print(f"{'ratio saver/bare':18} {saver / bare:8.2f}")


def hundred_thousand_line_script() -> bytes:
    """100,000 record lines like those people write, on the probe colour."""
    lines = [f"HEADER\t12\t3\tMID\t{STARTUP_COLOUR:06X}"]
    shapes = ("TEXT\tTimes New Roman\t4\tDirected by Someone Famous\tFFFFFF\t2",
              "TEXT\tArial\t1\tKey grip {i}\tC0C0C0\t1",
              "TEXT\tIPAGothic\t2\t\u64ae\u5f71\u3000\u5c71\u7530\u592a\u90ce\tFFFF80\t1",
              "WAIT\t1",
              "TEXT\tArial\t1\tA somewhat longer line of thanks to everyone\t80FF80\t1",
              "CLEAR")
    lines += [shapes[i % len(shapes)].format(i=i) for i in range(100_000)]
    return ("\r\n".join(lines) + "\r\n").encode()


def run_memory(args) -> None:
    default_script = (ROOT / "samples" / "Default.vws").read_bytes()
    cases = {
        "Default.vws": ([r"C:\Velloway\velloway.scr", SAVER_SWITCH], "Default.vws",
                        header_colour(default_script)),
        "100,000 lines": ([r"C:\Velloway\velloway.scr", SAVER_SWITCH], "Big.vws", STARTUP_COLOUR),
        "bare window": ([r"C:\Velloway\bare_window.exe", f"{STARTUP_COLOUR:06X}"], None,
                        STARTUP_COLOUR),
    }
    found: dict[str, dict[str, int]] = {}
    files = {"velloway.scr": args.build / SAVER_IN_BUILD,
             "bare_window.exe": args.build / "bench" / "bare_window.exe",
             "Default.vws": default_script, "Big.vws": hundred_thousand_line_script()}
    with (xvfb(1920, 1080) as desktop, prefix_copy(args.prefix, desktop, files) as prefix,
          XConnection(desktop.display) as screen):
        for name, (command, script, colour) in cases.items():
            if script:
                choose_script(prefix, script)
            with wine_program(prefix, *command) as process:
                wait_for_colour(screen, desktop, colour, present=True, timeout=60,
                                process=process)
                time.sleep(args.memory_settle)  # rolling, past its first lines
                # VmRSS is what Wine reports as the working set, VmHWM its peak.
                found[name] = {field: process.memory_kib(field) for field in ("VmRSS", "VmHWM")}
            wait_for_colour(screen, desktop, colour, present=False, timeout=10)
    print(f"Memory: resident set (Wine's working set) after the first frame and "
          f"{args.memory_settle:g} s of rolling, and its peak; 1920x1080\n")
    print(f"{'':26} {'working set':>12} {'peak':>10}")
    for name, label in (("Default.vws", "velloway.scr Default.vws"),
                        ("100,000 lines", "velloway.scr 100,000 lines"),
                        ("bare window", "bare window")):
        row = found[name]
        print(f"{label:26} {row['VmRSS'] / 1024:9.1f} MB {row['VmHWM'] / 1024:7.1f} MB")
    grown = found["100,000 lines"]["VmRSS"] - found["Default.vws"]["VmRSS"]
    print(f"\n100,000 lines cost {grown / 1024:.1f} MB more than Default.vws "
          f"({grown * 1024 / 100_000:.0f} bytes a line)")


def run_loader(args) -> None:
    program = args.native_build / "bench" / "loader_bench"
    if not program.is_file():
        raise BenchError(f"{program} is missing (scripts/bench builds it)")
    result = subprocess.run([str(program)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, timeout=600, check=False)
    sys.stdout.write(result.stdout)
    if result.returncode != 0:
        raise BenchError(f"loader_bench failed with status {result.returncode}")


def run_render(args) -> None:
    program = args.native_build / "src" / "programs" / "render" / "velloway-render"
    result = subprocess.run([sys.executable, str(Path(__file__).with_name("render_bench.py")),
                             "--program", str(program)], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, timeout=7200, check=False)
    sys.stdout.write(result.stdout)
    if result.returncode != 0:
        raise BenchError(f"render_bench.py failed with status {result.returncode}")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "windows")
    parser.add_argument("--native-build", type=Path, default=ROOT / "build" / "native-release")
    parser.add_argument("--native-program", type=Path,
                        default=ROOT / "build" / "native-release" / NATIVE_IN_BUILD)
    parser.add_argument("--prefix", type=Path, default=ROOT / "build" / "wine-prefix")
    parser.add_argument("--only",
                        default="loader,repaint,text,memory,startup,cpu,smooth,render,wayland",
                        help="comma-separated: loader, repaint, text, memory, startup, cpu, "
                             "smooth, render, wayland")
    parser.add_argument("--repaint-rounds", type=int, default=2)
    parser.add_argument("--startup-runs", type=int, default=15)
    parser.add_argument("--cpu-seconds", type=float, default=60)
    parser.add_argument("--memory-settle", type=float, default=5)
    parser.add_argument("--frame-seconds", type=float, default=20)
    args = parser.parse_args()
    wanted = [part.strip() for part in args.only.split(",") if part.strip()]
    runners = {"loader": run_loader, "repaint": run_repaint, "text": run_text, "memory": run_memory,
               "startup": run_startup, "cpu": run_cpu, "smooth": run_smooth, "render": run_render,
               "wayland": run_wayland}
    unknown = [name for name in wanted if name not in runners]
    if unknown:
        parser.error(f"unknown benchmark: {', '.join(unknown)}")

    # SIGTERM unwinds like Ctrl-C, through every cleanup.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        for index, name in enumerate(wanted):
            if index:
                print()
            print(f"== {name} ==", flush=True)
            runners[name](args)
            sys.stdout.flush()
    except HarnessError as error:
        print(f"bench: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
