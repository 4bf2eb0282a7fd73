"""The CPU benchmark: velloway.scr beside an idle bare window, fontglide and the Linux program."""

from __future__ import annotations

import contextlib
import tempfile
import time
from pathlib import Path

from measuring import (COMPARABLE_SAVER, SAVER_IN_BUILD, SETTLE_SECONDS, BenchError, header_colour,
                       native_program, native_saver, native_shares, prefix_copy, ratio,
                       speed3_default_script, wait_for_colour, wine_program, wine_shares, xvfb)
from velloway_e2e.program import SAVER_SWITCH, SCRIPT_OPTION, SMOOTH_OPTION, choose_script
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
