"""The Wayland benchmark: the Linux program on Wayland (headless sway, one 1920x1080 output at 60
Hz, the program as the session's user) against the same program on X11 (an Xvfb screen of the
same size), playing samples/Default.vws at speed 3, classic and with --smooth: CPU seconds a
minute of the program alone and with its display server; then the frames a second smooth motion
shows on Wayland at speeds 1 to 3, read from the program's own protocol trace (WAYLAND_DEBUG):
the compositor's word that a frame was shown, and whether the program's next commit drew a new
one."""

from __future__ import annotations

import contextlib
import tempfile
import time
from pathlib import Path

from measuring import (SETTLE_SECONDS, BenchError, CpuShares, descendants, header_colour,
                       native_program, native_shares, ratio, rolling_names_script,
                       speed3_default_script, wait_for_colour, xvfb)
from velloway_e2e.compositors import Sway
from velloway_e2e.program import SCRIPT_OPTION, SMOOTH_OPTION
from velloway_e2e.wayland_trace import TRACE_ENV, frames, read_trace, surface_on
from velloway_e2e.xlib import XConnection

SIZE = (1920, 1080)
OUTPUT = "HEADLESS-1"
SPEEDS = (1, 2, 3)


class BenchSway(Sway):
    """Headless sway with one output of SIZE at 60 Hz."""

    def __init__(self):
        super().__init__(outputs=1)

    def start(self) -> None:
        super().start()
        width, height = SIZE
        self.swaymsg("output", OUTPUT, "mode", f"{width}x{height}@60Hz")


def wayland_shares(program, sway: Sway) -> CpuShares:
    """The program on Wayland with what it starts, and its compositor (sway's own process)."""
    return CpuShares(lambda: dict.fromkeys(descendants(program.pid), "program")
                     | {sway.process.pid: "compositor"})


def readable_script(folder: Path, content: bytes) -> Path:
    """A script the session's user reads."""
    folder.chmod(0o755)
    path = folder / "Bench.vws"
    path.write_bytes(content)
    path.chmod(0o644)
    return path


def cpu(args, options: list[str]) -> dict[str, dict[str, float]]:
    """CPU seconds by share over cpu_seconds: the program on Wayland and on X11 at once."""
    script_bytes = speed3_default_script()
    colour = header_colour(script_bytes)
    with contextlib.ExitStack() as stack:
        script = readable_script(Path(stack.enter_context(tempfile.TemporaryDirectory())),
                                 script_bytes)
        sway = stack.enter_context(BenchSway())
        logs = Path(stack.enter_context(tempfile.TemporaryDirectory(prefix="velloway-bench-")))
        on_wayland = sway.client([str(args.native_program), SCRIPT_OPTION, str(script), *options],
                                 logs)
        stack.callback(on_wayland.kill)
        sway.wait_covered(OUTPUT, f"{colour:06X}", timeout=30)
        desktop = stack.enter_context(xvfb(*SIZE))
        on_x11 = stack.enter_context(native_program(
            desktop, str(args.native_program), "--x11", SCRIPT_OPTION, str(script), *options))
        with XConnection(desktop.display) as screen:
            wait_for_colour(screen, desktop, colour, present=True, timeout=30)
        time.sleep(SETTLE_SECONDS)
        shares = {"wayland": wayland_shares(on_wayland, sway),
                  "x11": native_shares(on_x11, desktop)}
        for share in shares.values():
            share.start()
        time.sleep(args.cpu_seconds)
        for share in shares.values():
            share.stop()
        for name, process in (("on Wayland", on_wayland), ("on X11", on_x11)):
            if not process.is_running():
                raise BenchError(f"velloway {name} ended during the measurement")
        return {name: share.shares for name, share in shares.items()}


def shown_frames(args, speed: int) -> tuple[float, float, int]:
    """(frames a second the compositor told of, of them new frames a second, frames held) of
    smooth motion on Wayland at this speed, over frame_seconds once the names roll."""
    with contextlib.ExitStack() as stack:
        script = readable_script(Path(stack.enter_context(tempfile.TemporaryDirectory())),
                                 rolling_names_script(speed))
        sway = stack.enter_context(BenchSway())
        logs = Path(stack.enter_context(tempfile.TemporaryDirectory(prefix="velloway-bench-")))
        process = sway.client([str(args.native_program), SCRIPT_OPTION, str(script),
                               SMOOTH_OPTION], logs, TRACE_ENV)
        stack.callback(process.kill)
        sway.wait_covered(OUTPUT, "05102A", timeout=30)
        # The first names take a while to reach the middle at speed 1.
        time.sleep(SETTLE_SECONDS + 8 / speed + args.frame_seconds)
        process.terminate()
        process.wait_exit(5)
        trace = read_trace(process.output()[1])
    told = frames(trace, surface_on(trace, OUTPUT))
    # The last frame_seconds of the trace: the names rolled all along.
    end_ms = told[-1][0]
    measured = [areas for at, areas in told if at > end_ms - args.frame_seconds * 1000]
    new = sum(1 for areas in measured if areas)
    return (len(measured) / args.frame_seconds, new / args.frame_seconds,
            len(measured) - new)


def run_wayland(args) -> None:
    if not args.native_program.is_file():
        raise BenchError(f"{args.native_program} is missing (scripts/bench builds it)")
    width, height = SIZE
    print(f"CPU over {args.cpu_seconds:g} s: velloway playing samples/Default.vws at speed 3, "
          f"{width}x{height}, on Wayland (headless sway, pixman) and on X11 (Xvfb) at the same "
          f"time, classic and --smooth (CPU seconds a minute)\n")
    print(f"{'':18} {'program':>9} {'with server':>12}")
    per_minute = 60 / args.cpu_seconds
    for mode, options in (("classic", []), ("smooth", [SMOOTH_OPTION])):
        shares = cpu(args, options)
        for name in ("wayland", "x11"):
            row = shares[name]
            print(f"{name + ' ' + mode:18} {row['program'] * per_minute:7.2f} s "
                  f"{sum(row.values()) * per_minute:10.2f} s")
        print(f"{'ratio ' + mode:18} {ratio(shares['wayland']['program'], shares['x11']['program'], 2):>9} "
              f"{ratio(sum(shares['wayland'].values()), sum(shares['x11'].values()), 2):>12}")
    print(f"\nSmooth motion on Wayland over {args.frame_seconds:g} s of rolling names: the frames "
          f"the compositor told of, those that showed a new frame, and those held")
    print(f"{'':10} {'frames/s':>9} {'new/s':>7} {'held':>6}")
    for speed in SPEEDS:
        told, new, held = shown_frames(args, speed)
        print(f"{'speed ' + str(speed):10} {told:9.1f} {new:7.1f} {held:6d}")
