"""The smooth-motion benchmark: at 1920x1080 and 3840x2160, on both platforms, smooth motion's
frames at speeds 1, 2 and 3 against the classic roll's ticks (frames and distinct frames per
second, intervals, the work of each), then the CPU of the Windows saver (smooth and classic), an
idle bare window, fontglide and the Linux program (classic and --smooth) side by side."""

from __future__ import annotations

import contextlib
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from measuring import (COMPARABLE_SAVER, SAVER_IN_BUILD, SETTLE_SECONDS, BenchError, header_colour,
                       native_program, native_saver, native_shares, prefix_copy, ratio,
                       rolling_names_script, speed3_default_script, wait_for_colour, wine_program,
                       wine_shares, xvfb)
from velloway_e2e.program import (SAVER_SWITCH, SCRIPT_OPTION, SETTING_KEY, SMOOTH_OPTION,
                                  SMOOTH_VALUE, choose_script)
from velloway_e2e.xlib import XConnection

SIZES = ((1920, 1080), (3840, 2160))
# The frames measured on each platform: smooth motion at every speed, the classic ticks at 3.
FRAME_RUNS = (("smooth", 1), ("smooth", 2), ("smooth", 3), ("classic", 3))
PLATFORMS = (("windows", "Windows: frame_bench.exe under Wine (the Windows backend)"),
             ("linux", "Linux: frame_bench (the X11 backend of the program velloway)"))
FRAME_LINE = re.compile(r"([\d.]+) frames/s, ([\d.]+) distinct frames/s; interval median "
                        r"([\d.]+) ms, p99 ([\d.]+) ms; work median ([\d.]+) ms, p99 ([\d.]+) ms")
SCRIPT_NAME = "Names.vws"


def parse_frames(program: str, mode: str, result: subprocess.CompletedProcess) -> tuple:
    """(frames/s, distinct frames/s, interval median and p99, work median and p99)."""
    output = result.stdout.decode(errors="replace")
    match = FRAME_LINE.search(output)
    if result.returncode != 0 or not match:
        sys.stderr.write(output + result.stderr.decode(errors="replace"))
        raise BenchError(f"{program} {mode} failed with status {result.returncode}")
    return tuple(float(value) for value in match.groups())


def windows_frames(args, size: tuple[int, int], mode: str, speed: int) -> tuple:
    files = {"frame_bench.exe": args.build / "bench" / "frame_bench.exe",
             SCRIPT_NAME: rolling_names_script(speed)}
    with xvfb(*size) as desktop, prefix_copy(args.prefix, desktop, files) as prefix:
        choose_script(prefix, SCRIPT_NAME)
        result = prefix.wine(r"C:\Velloway\frame_bench.exe", mode, "--seconds",
                             str(args.frame_seconds), timeout=300, check=False)
    return parse_frames("frame_bench.exe", mode, result)


def linux_frames(args, size: tuple[int, int], mode: str, speed: int) -> tuple:
    program = args.native_build / "bench" / "frame_bench"
    if not program.is_file():
        raise BenchError(f"{program} is missing (scripts/bench builds it)")
    with xvfb(*size) as desktop, tempfile.TemporaryDirectory() as folder:
        script = Path(folder) / SCRIPT_NAME
        script.write_bytes(rolling_names_script(speed))
        result = subprocess.run([str(program), mode, "--script", str(script), "--seconds",
                                 str(args.frame_seconds)], env=desktop.env, capture_output=True,
                                timeout=300, check=False)
    return parse_frames("frame_bench", mode, result)


def smooth_cpu(args, size: tuple[int, int]) -> dict[str, dict[str, float]]:
    """CPU seconds by share over the same cpu_seconds: the saver with smooth motion and without,
    an idle bare window, fontglide and the Linux program classic and --smooth, each on its own
    display of this size."""
    script = speed3_default_script()
    colour = header_colour(script)
    scr = args.build / SAVER_IN_BUILD
    if not args.native_program.is_file():
        raise BenchError(f"{args.native_program} is missing (scripts/bench builds it)")
    with contextlib.ExitStack() as stack:
        shares = {}
        for name, smooth in (("smooth", "1"), ("classic", "0")):
            desktop = stack.enter_context(xvfb(*size))
            prefix = stack.enter_context(prefix_copy(args.prefix, desktop,
                                                     {"velloway.scr": scr, "Default.vws": script}))
            choose_script(prefix, "Default.vws")
            prefix.reg_set(SETTING_KEY, SMOOTH_VALUE, smooth)
            saver = stack.enter_context(wine_program(prefix, r"C:\Velloway\velloway.scr",
                                                     SAVER_SWITCH))
            with XConnection(desktop.display) as screen:
                wait_for_colour(screen, desktop, colour, present=True, timeout=30, process=saver)
            shares[name] = (wine_shares(saver, prefix), saver)
        bare_desktop = stack.enter_context(xvfb(*size))
        bare_files = {"bare_window.exe": args.build / "bench" / "bare_window.exe"}
        bare_prefix = stack.enter_context(prefix_copy(args.prefix, bare_desktop, bare_files))
        bare = stack.enter_context(wine_program(bare_prefix, r"C:\Velloway\bare_window.exe",
                                                f"{colour:06X}"))
        with XConnection(bare_desktop.display) as screen:
            wait_for_colour(screen, bare_desktop, colour, present=True, timeout=30, process=bare)
        shares["idle"] = (wine_shares(bare, bare_prefix), bare)
        native_script = Path(stack.enter_context(tempfile.TemporaryDirectory())) / "Default.vws"
        native_script.write_bytes(script)
        for name, options in (("linux classic", []), ("linux smooth", [SMOOTH_OPTION])):
            desktop = stack.enter_context(xvfb(*size))
            process = stack.enter_context(native_program(
                desktop, str(args.native_program), SCRIPT_OPTION, str(native_script), *options))
            with XConnection(desktop.display) as screen:
                wait_for_colour(screen, desktop, colour, present=True, timeout=30)
            shares[name] = (native_shares(process, desktop), process)
        glide_desktop = stack.enter_context(xvfb(*size))
        glide = stack.enter_context(native_saver(glide_desktop))
        shares["fontglide"] = (native_shares(glide, glide_desktop), glide)
        time.sleep(SETTLE_SECONDS)
        for share, _ in shares.values():
            share.start()
        time.sleep(args.cpu_seconds)
        for share, _ in shares.values():
            share.stop()
        for name, (_, process) in shares.items():
            if not process.is_running():
                raise BenchError(f"{name} ended during the measurement")
        return {name: share.shares for name, (share, _) in shares.items()}


def print_frames(title: str, figures: dict[tuple[str, int], tuple]) -> None:
    print(title)
    print(f"{'':10} {'frames/s':>9} {'distinct/s':>10} {'interval median':>16} {'p99':>9} "
          f"{'work median':>12} {'p99':>9}")
    for (mode, speed), (fps, distinct, i50, i99, w50, w99) in figures.items():
        print(f"{mode + ' ' + str(speed):10} {fps:9.1f} {distinct:10.1f} {i50:13.2f} ms "
              f"{i99:6.2f} ms {w50:9.3f} ms {w99:6.3f} ms")


def print_cpu(cpu: dict[str, dict[str, float]], seconds: float) -> None:
    print(f"CPU over {seconds:g} s (samples/Default.vws at speed 3; CPU seconds)")
    print(f"{'':16} {'program':>9} {'wineserver':>11} {'helpers':>9} {'X server':>9} "
          f"{'all':>8} {'% of a core':>12}")
    for name in ("smooth", "classic", "idle", "linux smooth", "linux classic", "fontglide"):
        row = cpu[name]
        total = sum(row.values())
        label = {"smooth": "scr smooth", "classic": "scr classic"}.get(name, name)
        print(f"{label:16} {row['program']:7.2f} s {row['wineserver']:9.2f} s "
              f"{row['helpers']:7.2f} s {row['xvfb']:7.2f} s {total:6.2f} s "
              f"{100 * total / seconds:11.1f}%")
    totals = {name: sum(row.values()) for name, row in cpu.items()}
    for platform, smooth, classic in (("Windows", "smooth", "classic"),
                                      ("Linux", "linux smooth", "linux classic")):
        print(f"everything, {platform}: smooth / classic "
              f"{ratio(totals[smooth], totals[classic])}; smooth / {COMPARABLE_SAVER.name} "
              f"{ratio(totals[smooth], totals['fontglide'], 2)}")


def run_smooth(args) -> None:
    runners = {"windows": windows_frames, "linux": linux_frames}
    print(f"Smooth motion. Frames: frame_bench on each platform plays 400 centred names rolling "
          f"without WAIT or CLEAR at speeds 1, 2 and 3 with smooth motion, and at speed 3 "
          f"classic (a frame is a tick and its paint); {args.frame_seconds:g} s after 2 s of "
          f"settling, each on its own Xvfb of the size (60 Hz). The work is timed from the "
          f"frame's start to its paint sent; before each frame a 64-pixel strip at the window's "
          f"centre, full height, is read back, and a frame counts as distinct when its strip "
          f"differs from the one before. CPU: velloway.scr /s (smooth, classic), an idle bare "
          f"window, the Linux velloway (--smooth, classic) and {COMPARABLE_SAVER.name} at the "
          f"same time over {args.cpu_seconds:g} s, each on its own Xvfb of the size.\n")
    for size in SIZES:
        for platform, title in PLATFORMS:
            figures = {(mode, speed): runners[platform](args, size, mode, speed)
                       for mode, speed in FRAME_RUNS}
            print_frames(f"{size[0]}x{size[1]}, {title}", figures)
            print(flush=True)
        print(f"{size[0]}x{size[1]}, ", end="")
        print_cpu(smooth_cpu(args, size), args.cpu_seconds)
        print(flush=True)
