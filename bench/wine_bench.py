#!/usr/bin/env python3
"""Runs the benchmark programs and prints their figures, each beside its yardstick in one run.

scripts/bench builds the programs and calls this. Six measurements:

  loader   loader_bench (native release build): loading scripts of 100,000 ordinary lines and of
           2,000,000 one-character lines against a plain read of the same file split at line
           ends, in time and heap memory; then the heap's peak while loading the costliest
           scripts the 256 MB limit allows.
  repaint  repaint_bench.exe on a 3840x2160 display: one roll tick against a full-window repaint.
  memory   velloway.scr /s playing samples/Default.vws, then a 100,000-line script, then a bare
           window: the resident set (what Wine reports as the working set) and its peak, read from
           /proc/<pid>/status after the first frame and some seconds of rolling.
  startup  velloway.scr /s against bare_window.exe: the time from starting the process to its
           first painted frame. Both paint the same distinctive colour full screen; a probe reads
           the centre pixel of the X screen (Xlib XGetImage through ctypes) every millisecond from
           just before the process is started until that colour shows. The runs alternate, after
           one discarded warm-up run each, with the prefix's wineserver kept running (`wineserver
           -p`), as it is for every program but the first of a session.
  smooth   at 1920x1080 and at 3840x2160: frame_bench.exe times smooth motion's frames and the
           classic roll's ticks (frames per second, intervals, the work of each), then the CPU
           of velloway.scr /s with smooth motion and without, an idle bare window and fontglide,
           side by side as in cpu.
  cpu      velloway.scr /s playing samples/Default.vws at speed 3, an idle bare_window.exe,
           xscreensaver's fontglide (native), and the Linux program velloway playing the same
           script full screen, classic and with --smooth, over the same seconds: each on its own
           Xvfb display, the Wine ones each in its own copy of the Wine prefix, so that the
           wineserver, Wine's helper processes (explorer, services...) and the X server of each
           are its own. CPU time
           is utime + stime from /proc/<pid>/stat, taken after all have painted and settled, and
           again at the end.

The displays, prefix copies and programs come from the end-to-end tests' harness
(tests/e2e/velloway_e2e), and everything started here is stopped here, by PID or by prefix
(`wineserver -k`), also on an error or Ctrl-C: Xvfb on a free display in :60-:69, the copies of
build/wine-prefix, the programs. Standard library only.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Callable, Iterator

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from velloway_e2e.display import Desktop  # noqa: E402
from velloway_e2e.native import NativeProcess  # noqa: E402
from velloway_e2e.processes import (HarnessError, proc_stat, processes_with_env,  # noqa: E402
                                    wait_until)
from velloway_e2e.program import (SAVER_SWITCH, SCRIPT_OPTION, SETTING_KEY,  # noqa: E402
                                  SMOOTH_OPTION, SMOOTH_VALUE, choose_script)
from velloway_e2e.wine import ProgramDir, WinePrefix, WineProcess  # noqa: E402
from velloway_e2e.xlib import XConnection  # noqa: E402

DISPLAYS = range(60, 70)  # the end-to-end tests take :70-:89
STARTUP_COLOUR = 0x7A1FC3  # a purple no other window here shows
SETTLE_SECONDS = 2.0  # after the first frame, before CPU time is counted
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


class BenchError(HarnessError):
    pass


# ---------------------------------------------------------------------------------------------
# Displays, Wine prefixes and programs, from the end-to-end harness.

def xvfb(width: int, height: int) -> Desktop:
    """An Xvfb server of its own on the first free display of :60-:69 (a context manager)."""
    return Desktop(width, height, displays=DISPLAYS)


@contextlib.contextmanager
def prefix_copy(source: Path, desktop: Desktop,
                files: dict[str, bytes | Path]) -> Iterator[WinePrefix]:
    """A private copy of the project's prefix showing on desktop, with files in C:\\Velloway;
    its Wine processes end with it."""
    with WinePrefix(desktop, source) as prefix:
        folder = ProgramDir(prefix)
        for name, content in files.items():
            if isinstance(content, Path):
                folder.install(content, name)
            else:
                folder.write(name, content)
        yield prefix


@contextlib.contextmanager
def wine_program(prefix: WinePrefix, *command: str) -> Iterator[WineProcess]:
    """A Windows program started under Wine. The process that `wine` starts becomes the program
    itself (the loader and preloader exec into it), so its PID is the program's."""
    process = prefix.start_program(*command)
    try:
        yield process
    finally:
        end_program(process, prefix.desktop)


def end_program(process: WineProcess, desktop: Desktop) -> None:
    """A key press ends both the saver and the bare window; a program that ignores it is
    killed."""
    if not process.is_running():
        return
    desktop.xdotool("key", "Escape", check=False)
    try:
        process.wait_exit(5)
    except HarnessError:
        process.kill()


def centre_rgb(screen: XConnection, desktop: Desktop) -> int:
    """The colour at the centre of the screen as 0xRRGGBB."""
    x, y = desktop.width // 2, desktop.height // 2
    r, g, b = screen.capture((x, y, 1, 1)).pixel(x, y)
    return r << 16 | g << 8 | b


def wait_for_colour(screen: XConnection, desktop: Desktop, colour: int, present: bool,
                    timeout: float, process: WineProcess | None = None) -> float:
    """Polls the centre pixel every millisecond until it shows `colour` (or no longer does);
    returns the time of the capture that saw it."""
    def probe() -> float | None:
        now = time.monotonic()
        if (centre_rgb(screen, desktop) == colour) == present:
            return now
        if process is not None and not process.is_running():
            raise BenchError(f"the program ended before painting ({process.ending()})")
        return None
    return wait_until(probe, timeout, interval=0.001,
                      what=f"the screen centre to {'become' if present else 'leave'} "
                           f"#{colour:06X}")


# ---------------------------------------------------------------------------------------------
# CPU time from /proc.

def cpu_seconds(pid: int) -> float | None:
    fields = proc_stat(pid)
    if fields is None:
        return None
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime, stime


def prefix_processes(prefix: WinePrefix) -> dict[int, str]:
    """The processes running with this WINEPREFIX, by PID: their executable's name."""
    found = {}
    for pid in processes_with_env("WINEPREFIX", str(prefix.path)):
        with contextlib.suppress(OSError):
            found[pid] = os.path.basename(os.readlink(f"/proc/{pid}/exe"))
    return found


SHARES = ("program", "wineserver", "helpers", "xvfb")


class CpuShares:
    """CPU seconds between start() and stop() of the processes that `processes` names, summed by
    the share (one of SHARES) it gives each of them."""

    def __init__(self, processes: Callable[[], dict[int, str]]):
        self.processes = processes
        self.before: dict[int, float] = {}
        self.shares: dict[str, float] = {}

    def _sample(self) -> dict[int, tuple[str, float]]:
        return {pid: (share, t) for pid, share in self.processes().items()
                if (t := cpu_seconds(pid)) is not None}

    def start(self) -> None:
        self.before = {pid: t for pid, (_, t) in self._sample().items()}

    def stop(self) -> None:
        self.shares = dict.fromkeys(SHARES, 0.0)
        for pid, (share, seconds) in self._sample().items():
            self.shares[share] += seconds - self.before.get(pid, 0.0)


def wine_shares(program: WineProcess, prefix: WinePrefix) -> CpuShares:
    """A Wine program, its prefix's wineserver, the prefix's other Wine processes, its X server."""
    def processes() -> dict[int, str]:
        found = {pid: "wineserver" if name.startswith("wineserver") else "helpers"
                 for pid, name in prefix_processes(prefix).items()}
        return found | {program.pid: "program", prefix.desktop.proc.pid: "xvfb"}
    return CpuShares(processes)


# ---------------------------------------------------------------------------------------------
# The measurements.

def run_repaint(args) -> None:
    files = {"repaint_bench.exe": args.build / "bench" / "repaint_bench.exe"}
    with xvfb(3840, 2160) as desktop, prefix_copy(args.prefix, desktop, files) as prefix:
        result = prefix.wine(r"C:\Velloway\repaint_bench.exe", "--rounds",
                             str(args.repaint_rounds), timeout=1800, check=False)
        sys.stdout.write(result.stdout.decode(errors="replace"))
        if result.returncode != 0:
            sys.stderr.write(result.stderr.decode(errors="replace"))
            raise BenchError(f"repaint_bench.exe failed with status {result.returncode}")


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
    files = {"velloway.scr": args.build / "src" / "platform" / "win32" / "velloway.scr",
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


def speed3_default_script() -> bytes:
    text = (ROOT / "samples" / "Default.vws").read_bytes()
    changed, count = re.subn(rb"^(HEADER\t[^\t]*\t)[^\t\r\n]*", rb"\g<1>3", text, count=1,
                             flags=re.M)
    if count != 1:
        raise BenchError("samples/Default.vws has no header line")
    return changed


def header_colour(script: bytes) -> int:
    match = re.search(rb"^HEADER\t[^\t]*\t[^\t]*\t[^\t]*\t([0-9A-Fa-f]{6})", script, flags=re.M)
    if not match:
        raise BenchError("no background colour in the script's header")
    return int(match.group(1), 16)


COMPARABLE_SAVER = Path("/usr/libexec/xscreensaver/fontglide")  # xscreensaver-data-extra


def descendants(pid: int) -> set[int]:
    """pid and every process started under it that is still running."""
    children: dict[int, list[int]] = {}
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            fields = proc_stat(int(entry.name))
            if fields is not None:
                children.setdefault(int(fields[1]), []).append(int(entry.name))  # ppid
    found, todo = set(), [pid]
    while todo:
        current = todo.pop()
        found.add(current)
        todo.extend(children.get(current, []))
    return found


def native_shares(program: NativeProcess, desktop: Desktop) -> CpuShares:
    """A native X program with what it starts, and its X server."""
    return CpuShares(lambda: dict.fromkeys(descendants(program.pid), "program")
                     | {desktop.proc.pid: "xvfb"})


@contextlib.contextmanager
def native_program(desktop: Desktop, *argv: str) -> Iterator[NativeProcess]:
    """A Linux program started on desktop, its output kept in a folder of its own."""
    with tempfile.TemporaryDirectory(prefix="velloway-bench-") as logs:
        process = NativeProcess(argv, desktop.env, Path(logs))
        try:
            yield process
        finally:
            process.kill()


def native_saver(desktop: Desktop) -> contextlib.AbstractContextManager[NativeProcess]:
    if not COMPARABLE_SAVER.is_file():
        raise BenchError(f"{COMPARABLE_SAVER} is missing (scripts/bench installs it)")
    return native_program(desktop, str(COMPARABLE_SAVER), "-root")


def run_cpu(args) -> None:
    script = speed3_default_script()
    colour = header_colour(script)
    seconds = args.cpu_seconds
    saver_files = {"velloway.scr": args.build / "src" / "platform" / "win32" / "velloway.scr",
                   "Default.vws": script}
    bare_files = {"bare_window.exe": args.build / "bench" / "bare_window.exe"}
    if not args.native_program.is_file():
        raise BenchError(f"{args.native_program} is missing (scripts/bench builds it)")
    with contextlib.ExitStack() as stack:
        native_script = Path(stack.enter_context(tempfile.TemporaryDirectory())) / "Default.vws"
        native_script.write_bytes(script)
        saver_desktop = stack.enter_context(xvfb(1920, 1080))
        bare_desktop = stack.enter_context(xvfb(1920, 1080))
        glide_desktop = stack.enter_context(xvfb(1920, 1080))
        saver_prefix = stack.enter_context(prefix_copy(args.prefix, saver_desktop, saver_files))
        bare_prefix = stack.enter_context(prefix_copy(args.prefix, bare_desktop, bare_files))
        choose_script(saver_prefix, "Default.vws")

        saver = stack.enter_context(wine_program(saver_prefix, r"C:\Velloway\velloway.scr", SAVER_SWITCH))
        bare = stack.enter_context(wine_program(bare_prefix, r"C:\Velloway\bare_window.exe",
                                                f"{colour:06X}"))
        for prefix, process in ((saver_prefix, saver), (bare_prefix, bare)):
            with XConnection(prefix.desktop.display) as screen:
                wait_for_colour(screen, prefix.desktop, colour, present=True, timeout=30,
                                process=process)
        natives = {}
        for name, options in (("native", []), ("smooth", [SMOOTH_OPTION])):
            desktop = stack.enter_context(xvfb(1920, 1080))
            process = stack.enter_context(native_program(
                desktop, str(args.native_program), SCRIPT_OPTION, str(native_script), *options))
            with XConnection(desktop.display) as screen:
                wait_for_colour(screen, desktop, colour, present=True, timeout=30)
            natives[name] = (process, desktop)
        glide = stack.enter_context(native_saver(glide_desktop))
        time.sleep(SETTLE_SECONDS)

        shares = {"saver": wine_shares(saver, saver_prefix),
                  "bare": wine_shares(bare, bare_prefix),
                  "glide": native_shares(glide, glide_desktop)}
        shares |= {name: native_shares(process, desktop)
                   for name, (process, desktop) in natives.items()}
        for share in shares.values():
            share.start()
        time.sleep(seconds)
        for share in shares.values():
            share.stop()
        for name, running in (("the saver", saver.is_running()),
                              ("the bare window", bare.is_running()),
                              (COMPARABLE_SAVER.name, glide.is_running()),
                              ("velloway (Linux)", natives["native"][0].is_running()),
                              ("velloway --smooth", natives["smooth"][0].is_running())):
            if not running:
                raise BenchError(f"{name} ended during the measurement")

    print(f"CPU: {seconds:g} s of samples/Default.vws at speed 3 beside an idle bare window and "
          f"xscreensaver's {COMPARABLE_SAVER.name} (native, no Wine) and the Linux program "
          f"velloway (classic and --smooth), at the same time, each on its own 1920x1080 Xvfb "
          f"(CPU seconds; % of one core)\n")
    columns = (("program", "program"), ("wineserver", "wineserver"),
               ("helpers", "Wine helpers"), ("xvfb", "Xvfb"))
    print(f"{'':16}" + "".join(f"{title:>16}" for _, title in columns))
    for name, label in (("saver", "velloway.scr"), ("bare", "bare window"),
                        ("glide", COMPARABLE_SAVER.name), ("native", "velloway"),
                        ("smooth", "velloway smooth")):
        row = shares[name].shares
        print(f"{label:16}" + "".join(
            f"{row[key]:7.2f} s {100 * row[key] / seconds:5.2f}%" for key, _ in columns))
    saver_row, bare_row = shares["saver"].shares, shares["bare"].shares
    print(f"{'ratio':16}" + "".join(
        f"{_ratio(saver_row[key], bare_row[key]):>16}" for key, _ in columns))
    with_server = _ratio(saver_row["program"] + saver_row["wineserver"],
                         bare_row["program"] + bare_row["wineserver"])
    print(f"\nprogram + wineserver, saver / bare window: {with_server}")
    totals = {name: sum(share.shares.values()) for name, share in shares.items()}
    print(f"everything (program, Wine, X server), saver / bare window: "
          f"{_ratio(totals['saver'], totals['bare'])}; saver / {COMPARABLE_SAVER.name}: "
          f"{_ratio(totals['saver'], totals['glide'])}")
    print(f"the Linux program and its X server / {COMPARABLE_SAVER.name} and its X server: "
          f"classic {_ratio(totals['native'], totals['glide'], 3)}, "
          f"--smooth {_ratio(totals['smooth'], totals['glide'], 3)}")


FRAME_LINE = re.compile(r"([\d.]+) frames/s; interval median ([\d.]+) ms, p99 ([\d.]+) ms; "
                        r"work median ([\d.]+) ms, p99 ([\d.]+) ms")


def frame_figures(args, size: tuple[int, int], mode: str) -> tuple[float, ...]:
    """frame_bench.exe's (frames/s, interval median and p99, work median and p99) for a mode."""
    files = {"frame_bench.exe": args.build / "bench" / "frame_bench.exe",
             "Default.vws": speed3_default_script()}
    with xvfb(*size) as desktop, prefix_copy(args.prefix, desktop, files) as prefix:
        choose_script(prefix, "Default.vws")
        result = prefix.wine(r"C:\Velloway\frame_bench.exe", mode, "--seconds",
                             str(args.frame_seconds), timeout=300, check=False)
    output = result.stdout.decode(errors="replace")
    match = FRAME_LINE.search(output)
    if result.returncode != 0 or not match:
        sys.stderr.write(output + result.stderr.decode(errors="replace"))
        raise BenchError(f"frame_bench.exe {mode} failed with status {result.returncode}")
    return tuple(float(value) for value in match.groups())


def smooth_cpu(args, size: tuple[int, int]) -> dict[str, dict[str, float]]:
    """CPU seconds by share over the same cpu_seconds: the saver with smooth motion, the saver
    without, an idle bare window and fontglide, each on its own display of this size."""
    script = speed3_default_script()
    colour = header_colour(script)
    scr = args.build / "src" / "platform" / "win32" / "velloway.scr"
    with contextlib.ExitStack() as stack:
        shares = {}
        for name, smooth in (("smooth", "1"), ("classic", "0")):
            desktop = stack.enter_context(xvfb(*size))
            prefix = stack.enter_context(prefix_copy(args.prefix, desktop,
                                                     {"velloway.scr": scr, "Default.vws": script}))
            choose_script(prefix, "Default.vws")
            prefix.reg_set(SETTING_KEY, SMOOTH_VALUE, smooth)
            saver = stack.enter_context(wine_program(prefix, r"C:\Velloway\velloway.scr", SAVER_SWITCH))
            with XConnection(desktop.display) as screen:
                wait_for_colour(screen, desktop, colour, present=True, timeout=30, process=saver)
            shares[name] = (wine_shares(saver, prefix), saver)
        bare_desktop = stack.enter_context(xvfb(*size))
        bare_prefix = stack.enter_context(prefix_copy(
            args.prefix, bare_desktop, {"bare_window.exe": args.build / "bench" / "bare_window.exe"}))
        bare = stack.enter_context(wine_program(bare_prefix, r"C:\Velloway\bare_window.exe",
                                                f"{colour:06X}"))
        with XConnection(bare_desktop.display) as screen:
            wait_for_colour(screen, bare_desktop, colour, present=True, timeout=30, process=bare)
        shares["idle"] = (wine_shares(bare, bare_prefix), bare)
        glide_desktop = stack.enter_context(xvfb(*size))
        glide = stack.enter_context(native_saver(glide_desktop))
        shares["fontglide"] = (native_shares(glide, glide_desktop), None)
        time.sleep(SETTLE_SECONDS)
        for share, _ in shares.values():
            share.start()
        time.sleep(args.cpu_seconds)
        for share, _ in shares.values():
            share.stop()
        for name, (_, process) in shares.items():
            if not (process or glide).is_running():
                raise BenchError(f"{name} ended during the measurement")
        return {name: share.shares for name, (share, _) in shares.items()}


def run_smooth(args) -> None:
    sizes = ((1920, 1080), (3840, 2160))
    print(f"Smooth motion: samples/Default.vws at speed 3 with smooth motion and without (classic:"
          f" a frame is a tick and its paint), an idle bare window and {COMPARABLE_SAVER.name}. "
          f"Frames: frame_bench.exe, {args.frame_seconds:g} s after 2 s of settling, the work "
          f"timed from the frame's start to its painted end; CPU: velloway.scr /s and the others "
          f"at the same time over {args.cpu_seconds:g} s, each on its own Xvfb of the size.\n")
    for size in sizes:
        frames = {mode: frame_figures(args, size, mode) for mode in ("smooth", "classic")}
        cpu = smooth_cpu(args, size)
        print(f"{size[0]}x{size[1]}")
        print(f"{'':12} {'frames/s':>9} {'interval':>17} {'work':>17} "
              f"{'CPU: program':>13} {'wineserver':>11} {'helpers':>9} {'Xvfb':>7} {'all':>7}")
        print(f"{'':12} {'':>9} {'median':>8} {'p99':>8} {'median':>8} {'p99':>8}")
        for name in ("smooth", "classic", "idle", "fontglide"):
            row = cpu[name]
            if name in frames:
                fps, i50, i99, w50, w99 = frames[name]
                frame_columns = f"{fps:9.1f} {i50:6.2f}ms {i99:6.2f}ms {w50:6.3f}ms {w99:6.3f}ms"
            else:
                frame_columns = f"{'-':>9} {'-':>8} {'-':>8} {'-':>8} {'-':>8}"
            print(f"{name:12} {frame_columns} {row['program']:11.2f} s {row['wineserver']:9.2f} s"
                  f" {row['helpers']:7.2f} s {row['xvfb']:5.2f} s {sum(row.values()):5.2f} s")
        totals = {name: sum(row.values()) for name, row in cpu.items()}
        print(f"everything, smooth / classic: {_ratio(totals['smooth'], totals['classic'])}; "
              f"smooth / {COMPARABLE_SAVER.name}: {_ratio(totals['smooth'], totals['fontglide'])}"
              f"\n")


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
    files = {"velloway.scr": args.build / "src" / "platform" / "win32" / "velloway.scr",
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


def _ratio(a: float, b: float, digits: int = 1) -> str:
    if b <= 0:
        # Less than one clock tick: the ratio is at least what one tick would give.
        return f">{a * CLOCK_TICKS:.0f}x" if a > 0 else "n/a"
    return f"{a / b:.{digits}f}x"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "windows")
    parser.add_argument("--native-build", type=Path, default=ROOT / "build" / "native-release")
    parser.add_argument("--native-program", type=Path,
                        default=ROOT / "build" / "native-release" / "src" / "platform" / "x11"
                        / "velloway")
    parser.add_argument("--prefix", type=Path, default=ROOT / "build" / "wine-prefix")
    parser.add_argument("--only", default="loader,repaint,memory,startup,cpu,smooth",
                        help="comma-separated: loader, repaint, memory, startup, cpu, smooth")
    parser.add_argument("--repaint-rounds", type=int, default=2)
    parser.add_argument("--startup-runs", type=int, default=15)
    parser.add_argument("--cpu-seconds", type=float, default=60)
    parser.add_argument("--memory-settle", type=float, default=5)
    parser.add_argument("--frame-seconds", type=float, default=20)
    args = parser.parse_args()
    wanted = [part.strip() for part in args.only.split(",") if part.strip()]
    runners = {"loader": run_loader, "repaint": run_repaint, "memory": run_memory,
               "startup": run_startup, "cpu": run_cpu, "smooth": run_smooth}
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
