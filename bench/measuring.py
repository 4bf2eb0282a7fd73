"""What the benchmarks share: Xvfb displays, copies of the project's Wine prefix and programs,
all from the end-to-end tests' harness (tests/e2e/velloway_e2e), and stopped by PID or by prefix
(`wineserver -k`), also on an error or Ctrl-C; a probe of the screen's centre; the scripts they
play; CPU time from /proc, by share."""

from __future__ import annotations

import contextlib
import os
import re
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
from velloway_e2e.wine import ProgramDir, WinePrefix, WineProcess  # noqa: E402
from velloway_e2e.xlib import XConnection  # noqa: E402

# Where each build puts the programs measured.
SAVER_IN_BUILD = Path("src") / "programs" / "windows" / "velloway.scr"
NATIVE_IN_BUILD = Path("src") / "programs" / "linux" / "velloway"
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


SHARES = ("program", "wineserver", "helpers", "xvfb", "compositor")


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


def speed3_default_script() -> bytes:
    text = (ROOT / "samples" / "Default.vws").read_bytes()
    changed, count = re.subn(rb"^(HEADER\t[^\t]*\t)[^\t\r\n]*", rb"\g<1>3", text, count=1,
                             flags=re.M)
    if count != 1:
        raise BenchError("samples/Default.vws has no header line")
    return changed


NAMES_BACKGROUND = 0x05102A
FIRST_NAMES = ("Ada", "Bruno", "Chiara", "Dmitri", "Elena", "Farid", "Greta", "Hiroshi", "Ines",
               "Jonas", "Kaveh", "Lucia", "Mateo", "Nadia", "Oskar", "Priya", "Quentin", "Rosa",
               "Stefan", "Tamsin")
LAST_NAMES = ("Abernathy", "Bergstrom", "Castellanos", "Delacroix", "Eriksen", "Fontaine",
              "Gallagher", "Hoffmann", "Ivanova", "Jablonski", "Kowalczyk", "Lindqvist",
              "Montgomery", "Nakamura", "Oyelaran", "Petrovic", "Quintero", "Rasmussen",
              "Santangelo", "Thorvaldsen")


def rolling_names_script(speed: int) -> bytes:
    """400 centred names one after another at this speed, with no WAIT and no CLEAR: from when
    the first enters, ink moves through the screen's centre column on every step, for minutes at
    every speed."""
    lines = [f"HEADER\t14\t{speed}\tMID\t{NAMES_BACKGROUND:06X}"]
    lines += [f"TEXT\tArial\t2\t{first} {last}\tFFFFFF\t1"
              for last in LAST_NAMES for first in FIRST_NAMES]
    return ("\r\n".join(lines) + "\r\n").encode()


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


def ratio(a: float, b: float, digits: int = 1) -> str:
    if b <= 0:
        # Less than one clock tick: the ratio is at least what one tick would give.
        return f">{a * CLOCK_TICKS:.0f}x" if a > 0 else "n/a"
    return f"{a / b:.{digits}f}x"
