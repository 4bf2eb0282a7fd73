"""The display the programs run on: Desktop, a private Xvfb screen, and XephyrDesktop, for
several monitors or display modes a program changes; input through xdotool, the screen and the
pointer read back through Xlib."""

from __future__ import annotations

import os
import select
import signal
import subprocess
import time
from pathlib import Path
from typing import Callable, Iterable, Union

from .images import Colour, ColourLike, Image, Region, colour_close
from .processes import (HarnessError, StartedProcess, die_with_parent, process_start_time,
                        register, run, stop_process, unregister, wait_until)
from .xlib import CursorImage, XConnection


class Desktop:
    """A private Xvfb screen (display :70..:89 by default) with input through xdotool and the
    screen and pointer read back through Xlib. Use as a context manager."""

    def __init__(self, width: int = 1920, height: int = 1080,
                 displays: Iterable[int] = range(70, 90), start_timeout: float = 10):
        self.width, self.height = width, height
        self._displays = list(displays)
        self._start_timeout = start_timeout
        self.proc: subprocess.Popen | None = None
        self.display: str | None = None

    # -- life cycle

    def __enter__(self) -> "Desktop":
        self.start()
        return self

    def __exit__(self, *exc) -> None:
        self.stop()

    def start(self) -> None:
        if self.proc is not None:
            return
        for number in self._displays:
            if self._display_taken(number):
                continue
            if self._try_start(number):
                register(self, self.stop)
                return
        raise HarnessError(f"no free display among :{self._displays[0]}..:{self._displays[-1]}")

    @staticmethod
    def _display_taken(number: int) -> bool:
        # A lock whose process is gone is stale (a killed Xvfb): Xvfb itself replaces it.
        try:
            pid = int(Path(f"/tmp/.X{number}-lock").read_text().strip())
        except (OSError, ValueError):
            return Path(f"/tmp/.X11-unix/X{number}").exists()
        return process_start_time(pid) is not None

    def _server_argv(self, number: int) -> list[str]:
        return ["Xvfb", f":{number}", "-screen", "0", f"{self.width}x{self.height}x24",
                "-nolisten", "tcp", "-noreset"]

    def _try_start(self, number: int, env: dict | None = None) -> bool:
        # The server writes the display number to -displayfd once it accepts connections.
        read_fd, write_fd = os.pipe()
        try:
            proc = subprocess.Popen(
                self._server_argv(number) + ["-displayfd", str(write_fd)], env=env,
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(write_fd,), preexec_fn=die_with_parent)
        finally:
            os.close(write_fd)
        try:
            answer = b""
            deadline = time.monotonic() + self._start_timeout
            while not answer.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_fd], [], [], left)[0]:
                    break
                chunk = os.read(read_fd, 64)
                if not chunk:  # Xvfb exited: the number was taken
                    break
                answer += chunk
        finally:
            os.close(read_fd)
        if answer.strip() == str(number).encode() and proc.poll() is None:
            self.proc, self.display = proc, f":{number}"
            return True
        stop_process(proc)
        return False

    def stop(self) -> None:
        unregister(self)
        if self.proc is not None:
            stop_process(self.proc, signal.SIGTERM)
            self.proc = None

    @property
    def env(self) -> dict:
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("XAUTHORITY", None)
        return env

    @property
    def size(self) -> tuple:
        with XConnection(self.display) as x:
            return x.screen_size()

    # -- xdotool

    def xdotool(self, *args: str, timeout: float = 10, check: bool = True) -> str:
        done = run(["xdotool", *map(str, args)], env=self.env, timeout=timeout, check=check)
        return done.stdout.decode(errors="replace")

    def key(self, *names: str) -> None:
        """Presses and releases each key in turn (xdotool key names: a, Escape, Return, shift+a)."""
        self.xdotool("key", *names)

    def type(self, text: str, delay_ms: int = 12) -> None:
        self.xdotool("type", "--delay", str(delay_ms), "--", text)

    def click(self, x: int | None = None, y: int | None = None, button: int = 1) -> None:
        """Buttons as X numbers them: 1 left, 2 middle, 3 right, 8 and 9 the extra buttons."""
        if x is not None and y is not None:
            self.mousemove(x, y)
        self.xdotool("click", str(button))

    def mouse_down(self, button: int = 1) -> None:
        self.xdotool("mousedown", str(button))

    def mouse_up(self, button: int = 1) -> None:
        self.xdotool("mouseup", str(button))

    def mousemove(self, x: int, y: int) -> None:
        self.xdotool("mousemove", str(x), str(y))

    def mousemove_relative(self, dx: int, dy: int) -> None:
        # "--" so that negative offsets are not read as options.
        self.xdotool("mousemove_relative", "--", str(dx), str(dy))

    def mouse_location(self) -> tuple:
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    # -- windows

    def search(self, name_regex: str, only_visible: bool = True) -> list[str]:
        """Window ids whose name matches the regular expression (escape + as \\+)."""
        args = ["search"] + (["--onlyvisible"] if only_visible else []) + ["--name", name_regex]
        out = self.xdotool(*args, check=False)  # exit 1 simply means "none"
        return out.split()

    def wait_window(self, name_regex: str, timeout: float = 10, only_visible: bool = True,
                    process: StartedProcess | None = None) -> str:
        """The first window whose name matches, polled every 50 ms. The wait ends early when
        `process`, the program expected to open it, ends; the error says how it ended."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.search(name_regex, only_visible)
            if found:
                return found[0]
            if process is not None and not process.is_running():
                raise HarnessError(f"the program ended before a window {name_regex!r} appeared "
                                   f"({process.ending()})")
            if time.monotonic() >= deadline:
                raise HarnessError(f"no window {name_regex!r} within {timeout:g} s")
            time.sleep(0.05)

    def wait_no_window(self, name_regex: str, timeout: float = 10) -> None:
        wait_until(lambda: not self.search(name_regex, only_visible=False), timeout,
                   what=f"window {name_regex!r} to close")

    def window_geometry(self, wid: str) -> Region:
        """(x, y, width, height) of a window, x and y relative to the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", wid)
        v = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def window_name(self, wid: str) -> str:
        return self.xdotool("getwindowname", wid).rstrip("\n")

    def visible_windows(self) -> set[str]:
        """Ids (as xdotool prints them) of the top-level windows on screen: a dialog or message
        box that opens shows up here as a new id. Input-only windows, such as the one Wine
        confines the pointer with under a full-screen window, show nothing and are left out."""
        with XConnection(self.display) as x:
            return {str(wid) for wid in x.shown_top_level_windows()}

    # -- the screen

    def capture(self, region: Region | None = None) -> Image:
        """The screen (or a region of it) as an Image, read straight from the X server."""
        with XConnection(self.display) as x:  # one per query: nothing stays open at the end
            return x.capture(region)

    def screenshot(self, path: Union[str, Path], region: Region | None = None) -> Image:
        """Captures the screen, writes it to path as PNG and returns it for reading pixels."""
        image = self.capture(region)
        image.save_png(path)
        return image

    def pixel(self, x: int, y: int) -> Colour:
        return self.capture((x, y, 1, 1)).pixel(x, y)

    def ink(self, background: ColourLike, tolerance: int = 0,
            region: Region | None = None) -> tuple:
        """(time, bbox): the box around everything differing from background (None when
        nothing does), and time.monotonic() halfway through the capture."""
        before = time.monotonic()
        image = self.capture(region)
        taken = (before + time.monotonic()) / 2
        return taken, image.bbox_differing(background, tolerance, region)

    def wait_ink(self, accept: Callable[[Region | None], bool], background: ColourLike,
                 tolerance: int = 0, region: Region | None = None, timeout: float = 10,
                 what: str = "ink") -> tuple:
        """Captures as fast as it can until accept(bbox) holds; returns ink()'s (time, bbox)
        of that capture. A small region keeps each capture to a few milliseconds."""
        seen = [None]

        def probe():
            seen[0] = self.ink(background, tolerance, region)
            return accept(seen[0][1])
        try:
            wait_until(probe, timeout, interval=0, what=what)
        except HarnessError as e:
            raise HarnessError(f"{e}: last seen {seen[0][1] if seen[0] else None}") from None
        return seen[0]

    def wait_for_pixel(self, x: int, y: int,
                       expected: ColourLike | Callable[[Colour], bool],
                       tolerance: int = 0, timeout: float = 5) -> Colour:
        """Waits until pixel (x, y) is within tolerance of a colour, or satisfies a predicate;
        returns the colour seen. On timeout the error names the last colour seen."""
        test = expected if callable(expected) else (
            lambda rgb: colour_close(rgb, expected, tolerance))
        seen = [None]

        def probe():
            seen[0] = self.pixel(x, y)
            return test(seen[0])
        try:
            wait_until(probe, timeout, what=f"pixel ({x}, {y})")
        except HarnessError as e:
            raise HarnessError(f"{e}: last seen {seen[0]}, wanted {expected}") from None
        return seen[0]

    # -- the pointer

    def cursor_image(self) -> CursorImage:
        with XConnection(self.display) as x:
            return x.cursor_image()

    def cursor_visible(self) -> bool:
        return not self.cursor_image().blank

    def wait_cursor(self, visible: bool, timeout: float = 5) -> None:
        wait_until(lambda: self.cursor_visible() == visible, timeout,
                   what="pointer to be " + ("visible" if visible else "hidden"))


class XephyrDesktop(Desktop):
    """What Xvfb alone cannot give Wine, from Xephyr shown inside a private Xvfb screen: several
    monitors (Xinerama), each (width, height), side by side and top-aligned from the primary at
    0,0; or, with one monitor, display modes that a program may change (RandR). Wine cannot
    change the mode of several monitors here."""

    def __init__(self, *monitors: tuple, displays: Iterable[int] = range(70, 90),
                 start_timeout: float = 10):
        super().__init__(sum(w for w, _ in monitors), max(h for _, h in monitors), displays,
                         start_timeout)
        self.monitors = monitors
        self.host = Desktop(self.width, self.height, displays, start_timeout)

    def _server_argv(self, number: int) -> list[str]:
        argv = ["Xephyr", f":{number}", "-no-host-grab", "-nolisten", "tcp", "-noreset"]
        if len(self.monitors) > 1:
            argv += ["+xinerama", "-extension", "RANDR"]
        left = 0
        for width, height in self.monitors:
            argv += ["-screen", f"{width}x{height}+{left}+0x24"]
            left += width
        return argv

    def start(self) -> None:
        if self.proc is not None:
            return
        self.host.start()
        try:
            for number in self._displays:
                if not self._display_taken(number) and self._try_start(number, self.host.env):
                    register(self, self.stop)
                    return
        except BaseException:
            self.host.stop()
            raise
        self.host.stop()
        raise HarnessError(f"no free display among :{self._displays[0]}..:{self._displays[-1]}")

    def stop(self) -> None:
        super().stop()
        self.host.stop()
