"""The CPU benchmarks: velloway.scr beside an idle bare window, fontglide and the Linux program
(cpu), and smooth motion's frames and CPU against the classic roll's (smooth)."""

from __future__ import annotations

import contextlib
import re
import sys
import tempfile
import time
from pathlib import Path

from measuring import (COMPARABLE_SAVER, SAVER_IN_BUILD, SETTLE_SECONDS, BenchError, header_colour,
                       native_program, native_saver, native_shares, prefix_copy, ratio,
                       speed3_default_script, wait_for_colour, wine_program, wine_shares, xvfb)
from velloway_e2e.program import (SAVER_SWITCH, SCRIPT_OPTION, SETTING_KEY, SMOOTH_OPTION,
                                  SMOOTH_VALUE, choose_script)
from velloway_e2e.xlib import XConnection


def run_cpu(args) -> None:
    script = speed3_default_script()
    colour = header_colour(script)
    seconds = args.cpu_seconds
    saver_files = {"velloway.scr": args.build / SAVER_IN_BUILD,
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

        saver = stack.enter_context(wine_program(saver_prefix, r"C:\Velloway\velloway.scr",
                                                 SAVER_SWITCH))
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
        f"{ratio(saver_row[key], bare_row[key]):>16}" for key, _ in columns))
    with_server = ratio(saver_row["program"] + saver_row["wineserver"],
                         bare_row["program"] + bare_row["wineserver"])
    print(f"\nprogram + wineserver, saver / bare window: {with_server}")
    totals = {name: sum(share.shares.values()) for name, share in shares.items()}
    print(f"everything (program, Wine, X server), saver / bare window: "
          f"{ratio(totals['saver'], totals['bare'])}; saver / {COMPARABLE_SAVER.name}: "
          f"{ratio(totals['saver'], totals['glide'])}")
    print(f"the Linux program and its X server / {COMPARABLE_SAVER.name} and its X server: "
          f"classic {ratio(totals['native'], totals['glide'], 3)}, "
          f"--smooth {ratio(totals['smooth'], totals['glide'], 3)}")


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
    scr = args.build / SAVER_IN_BUILD
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
        print(f"everything, smooth / classic: {ratio(totals['smooth'], totals['classic'])}; "
              f"smooth / {COMPARABLE_SAVER.name}: {ratio(totals['smooth'], totals['fontglide'])}"
              f"\n")
