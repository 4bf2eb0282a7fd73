"""End-to-end test harness: a private Xvfb display, a private copy of the project's Wine prefix,
the program under test started in it, input through xdotool, and the screen and the pointer read
back through Xlib (ctypes, so nothing has to be compiled).

Every resource is owned by the object that started it and is stopped by PID (Xvfb, the program)
or by prefix (`wineserver -k`), never by name: other people run Xvfb and Wine on the same machine.
Every wait has a timeout. Resources still alive when the interpreter exits (an exception that
skipped a cleanup, SIGTERM) are stopped by an atexit hook. If the harness is killed outright,
Xvfb and the programs get SIGKILL from the kernel (PR_SET_PDEATHSIG), the wineserver ends 60 s
later by itself, and the next harness run removes the orphaned prefix copy.

Standard library only.
"""

from __future__ import annotations

import array
import atexit
import contextlib
import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import zlib
from pathlib import Path
from typing import Callable, Iterable, Sequence, Union

REPO = Path(__file__).resolve().parents[2]

Colour = tuple  # (r, g, b), each 0..255
ColourLike = Union[Colour, str]  # (r, g, b) or "RRGGBB"
Region = tuple  # (x, y, width, height)


class HarnessError(RuntimeError):
    """Something the harness needed did not happen in time (or at all)."""


# ---------------------------------------------------------------------------------------------
# Cleanup of whatever is still alive when the interpreter exits.

_live: dict[int, Callable[[], None]] = {}


def _register(obj, stop: Callable[[], None]) -> None:
    _live[id(obj)] = stop


def _unregister(obj) -> None:
    _live.pop(id(obj), None)


@atexit.register
def _stop_all_live() -> None:
    # Newest first: programs before their prefix, prefixes before their display.
    for key in reversed(list(_live)):
        stop = _live.pop(key, None)
        if stop is None:
            continue
        with contextlib.suppress(Exception):
            stop()


def _interrupt_on_sigterm(signum, frame):
    # KeyboardInterrupt, unlike SystemExit, is not swallowed by unittest: the run stops and the
    # atexit hook stops what is still alive.
    raise KeyboardInterrupt(f"signal {signum}")


if signal.getsignal(signal.SIGTERM) in (signal.SIG_DFL, None):
    signal.signal(signal.SIGTERM, _interrupt_on_sigterm)


def _die_with_parent() -> None:
    """preexec_fn: the child gets SIGKILL if the harness dies without cleaning up (kill -9)."""
    with contextlib.suppress(Exception):
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, int(signal.SIGKILL))  # PR_SET_PDEATHSIG


def _process_start_time(pid: int) -> str | None:
    """The start time of a live process (tells a reused PID apart), or None."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    return stat.rsplit(")", 1)[1].split()[19]  # field 22: starttime


def _owner_tag() -> str:
    return f"{os.getpid()} {_process_start_time(os.getpid())}"


def _owner_alive(tag: str) -> bool:
    pid, _, start = tag.partition(" ")
    return pid.isdigit() and _process_start_time(int(pid)) == start


def wait_until(predicate: Callable[[], object], timeout: float, interval: float = 0.05,
               what: str = "condition"):
    """Polls predicate until it returns a true value, which is returned; HarnessError on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def _run(argv: Sequence[str], env=None, timeout: float = 30, check: bool = True,
         input: bytes | None = None) -> subprocess.CompletedProcess:
    try:
        done = subprocess.run(list(argv), env=env, input=input, capture_output=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired as e:
        raise HarnessError(f"{argv[0]} did not finish within {timeout:g} s: {argv}") from e
    if check and done.returncode != 0:
        raise HarnessError(f"{list(argv)} exited {done.returncode}: "
                           f"{done.stderr.decode(errors='replace').strip()}")
    return done


# ---------------------------------------------------------------------------------------------
# Colours

def colour(value: ColourLike) -> Colour:
    """(r, g, b) from a tuple or from "RRGGBB" (a leading # is allowed here)."""
    if isinstance(value, str):
        text = value.lstrip("#")
        if not re.fullmatch(r"[0-9A-Fa-f]{6}", text):
            raise ValueError(f"not an RRGGBB colour: {value!r}")
        return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))
    r, g, b = value
    return (int(r), int(g), int(b))


def colour_close(a: ColourLike, b: ColourLike, tolerance: int = 0) -> bool:
    """True when no channel differs by more than tolerance."""
    a, b = colour(a), colour(b)
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def is_whiteish(rgb: Colour, minimum: int = 200) -> bool:
    return min(rgb) >= minimum


BLACK, WHITE = (0, 0, 0), (255, 255, 255)


# ---------------------------------------------------------------------------------------------
# Images

class Image:
    """An RGB picture of (part of) the screen; origin is the captured region's top-left corner
    in screen coordinates, so pixel() takes screen coordinates."""

    def __init__(self, width: int, height: int, rgb: bytes, origin: tuple = (0, 0)):
        if len(rgb) != width * height * 3:
            raise ValueError("RGB data does not match the size")
        self.width, self.height, self.rgb, self.origin = width, height, bytes(rgb), origin

    def _index(self, x: int, y: int) -> int:
        lx, ly = x - self.origin[0], y - self.origin[1]
        if not (0 <= lx < self.width and 0 <= ly < self.height):
            raise IndexError(f"pixel ({x}, {y}) is outside the captured region")
        return (ly * self.width + lx) * 3

    def pixel(self, x: int, y: int) -> Colour:
        i = self._index(x, y)
        return tuple(self.rgb[i:i + 3])

    def _clip(self, region: Region | None) -> tuple:
        ox, oy = self.origin
        if region is None:
            return ox, oy, ox + self.width, oy + self.height
        x, y, w, h = region
        return (max(x, ox), max(y, oy), min(x + w, ox + self.width), min(y + h, oy + self.height))

    def _rows(self, region: Region | None):
        """(y, row bytes, x0) for each row of the clipped region, in screen coordinates."""
        x0, y0, x1, y1 = self._clip(region)
        ox, oy = self.origin
        for y in range(y0, y1):
            start = ((y - oy) * self.width + (x0 - ox)) * 3
            yield y, self.rgb[start:start + (x1 - x0) * 3], x0

    def differing_pixels(self, background: ColourLike, tolerance: int = 0,
                         region: Region | None = None):
        """Yields (x, y, rgb) of each pixel that differs from background by more than tolerance."""
        bg = colour(background)
        x0, _, x1, _ = self._clip(region)
        plain = bytes(bg) * max(0, x1 - x0)
        for y, row, rx0 in self._rows(region):
            if row == plain:  # the common case, decided in C
                continue
            for i in range(0, len(row), 3):
                r, g, b = row[i], row[i + 1], row[i + 2]
                if (abs(r - bg[0]) > tolerance or abs(g - bg[1]) > tolerance
                        or abs(b - bg[2]) > tolerance):
                    yield rx0 + i // 3, y, (r, g, b)

    def bbox_differing(self, background: ColourLike, tolerance: int = 0,
                       region: Region | None = None) -> Region | None:
        """(x, y, width, height) around every pixel differing from background, or None."""
        xs, ys = [], []
        for x, y, _ in self.differing_pixels(background, tolerance, region):
            xs.append(x)
            ys.append(y)
        if not xs:
            return None
        return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)

    def ink_rows(self, background: ColourLike, tolerance: int = 0,
                 region: Region | None = None) -> list[int]:
        """Screen rows holding at least one pixel that differs from background."""
        return sorted({y for _, y, _ in self.differing_pixels(background, tolerance, region)})

    def count_close(self, expected: ColourLike, tolerance: int = 0,
                    region: Region | None = None, step: int = 1) -> tuple:
        """(matching, sampled): pixels within tolerance of expected, on a grid of `step`."""
        want = colour(expected)
        matching = sampled = 0
        for y, row, _ in self._rows(region):
            if (y - self.origin[1]) % step:
                continue
            for i in range(0, len(row), 3 * step):
                sampled += 1
                if (abs(row[i] - want[0]) <= tolerance and abs(row[i + 1] - want[1]) <= tolerance
                        and abs(row[i + 2] - want[2]) <= tolerance):
                    matching += 1
        return matching, sampled

    def save_png(self, path: Union[str, Path]) -> Path:
        path = Path(path)
        raw = bytearray()
        stride = self.width * 3
        for y in range(self.height):
            raw.append(0)  # filter type: none
            raw += self.rgb[y * stride:(y + 1) * stride]

        def chunk(kind: bytes, data: bytes) -> bytes:
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(bytes(raw), 3)) + chunk(b"IEND", b""))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png)
        return path


def ink_runs(rows: Iterable[int], max_gap: int = 2) -> list[tuple]:
    """Groups sorted row numbers into (first, last) runs; gaps up to max_gap rows join a run."""
    runs: list[list[int]] = []
    for y in sorted(rows):
        if runs and y - runs[-1][1] <= max_gap + 1:
            runs[-1][1] = y
        else:
            runs.append([y, y])
    return [tuple(r) for r in runs]


# ---------------------------------------------------------------------------------------------
# Xlib and XFixes through ctypes

class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]
    # The rest (obdata, function table) is not read here.


class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class CursorImage:
    """The pointer's current picture as the X server shows it; pixels are ARGB."""

    def __init__(self, width: int, height: int, hotspot: tuple, position: tuple, pixels: list):
        self.width, self.height, self.hotspot = width, height, hotspot
        self.position, self.pixels = position, pixels

    @property
    def visible_pixels(self) -> int:
        return sum(1 for p in self.pixels if (p >> 24) & 0xFF)

    @property
    def blank(self) -> bool:
        return self.visible_pixels == 0


_X_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x_errors: list[int] = []


@_X_ERROR_HANDLER
def _record_x_error(display, event):
    # Xlib's default handler would exit the whole test run on e.g. a BadMatch.
    _x_errors.append(ctypes.cast(event, ctypes.POINTER(ctypes.c_ubyte))[16])  # error_code
    return 0


class _Xlib:
    _x11 = None
    _xfixes = None

    @classmethod
    def libs(cls):
        if cls._x11 is None:
            x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
            x11.XOpenDisplay.restype = ctypes.c_void_p
            x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
            x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
            x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
            x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x11.XRootWindow.restype = ctypes.c_ulong
            x11.XRootWindow.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x11.XGetImage.restype = ctypes.POINTER(_XImage)
            x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
            x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
            x11.XFree.argtypes = [ctypes.c_void_p]
            x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x11.XSetErrorHandler.restype = ctypes.c_void_p
            x11.XSetErrorHandler.argtypes = [_X_ERROR_HANDLER]
            x11.XSetErrorHandler(_record_x_error)
            x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                       ctypes.POINTER(ctypes.c_ulong),
                                       ctypes.POINTER(ctypes.c_ulong),
                                       ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                       ctypes.POINTER(ctypes.c_uint)]
            x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                 ctypes.POINTER(_XWindowAttributes)]
            xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes") or "libXfixes.so.3")
            xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                                    ctypes.POINTER(ctypes.c_int)]
            xfixes.XFixesQueryVersion.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                                  ctypes.POINTER(ctypes.c_int)]
            xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_XFixesCursorImage)
            xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
            cls._x11, cls._xfixes = x11, xfixes
        return cls._x11, cls._xfixes

    @classmethod
    @contextlib.contextmanager
    def connect(cls, display: str):
        # One short connection per query: nothing stays open when the server stops.
        x11, _ = cls.libs()
        dpy = x11.XOpenDisplay(display.encode())
        if not dpy:
            raise HarnessError(f"cannot open X display {display}")
        try:
            yield dpy
        finally:
            x11.XCloseDisplay(dpy)

    @classmethod
    def can_connect(cls, display: str) -> bool:
        x11, _ = cls.libs()
        dpy = x11.XOpenDisplay(display.encode())
        if dpy:
            x11.XCloseDisplay(dpy)
        return bool(dpy)

    @classmethod
    def screen_size(cls, display: str) -> tuple:
        x11, _ = cls.libs()
        with cls.connect(display) as dpy:
            screen = x11.XDefaultScreen(dpy)
            return x11.XDisplayWidth(dpy, screen), x11.XDisplayHeight(dpy, screen)

    @classmethod
    def capture(cls, display: str, region: Region | None = None) -> Image:
        x11, _ = cls.libs()
        with cls.connect(display) as dpy:
            screen = x11.XDefaultScreen(dpy)
            sw, sh = x11.XDisplayWidth(dpy, screen), x11.XDisplayHeight(dpy, screen)
            x, y, w, h = region if region is not None else (0, 0, sw, sh)
            x0, y0 = max(0, x), max(0, y)
            x1, y1 = min(sw, x + w), min(sh, y + h)
            if x1 <= x0 or y1 <= y0:
                raise HarnessError(f"region {region} lies outside the {sw}x{sh} screen")
            w, h = x1 - x0, y1 - y0
            del _x_errors[:]
            image = x11.XGetImage(dpy, x11.XRootWindow(dpy, screen), x0, y0, w, h,
                                  0xFFFFFFFF, 2)  # AllPlanes, ZPixmap
            x11.XSync(dpy, 0)
            if not image:
                raise HarnessError(f"XGetImage failed (X errors {_x_errors})")
            try:
                im = image.contents
                if im.bits_per_pixel != 32 or im.red_mask != 0xFF0000 or im.byte_order != 0:
                    raise HarnessError("the display is not 24-bit TrueColor (start Xvfb with x24)")
                bpl = im.bytes_per_line
                data = ctypes.string_at(im.data, bpl * h)
            finally:
                x11.XDestroyImage(image)
        if bpl != w * 4:
            data = b"".join(data[r * bpl:r * bpl + w * 4] for r in range(h))
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = data[2::4], data[1::4], data[0::4]  # BGRX to RGB
        return Image(w, h, bytes(rgb), (x0, y0))

    @classmethod
    def shown_top_level_windows(cls, display: str) -> list[int]:
        """Children of the root that are mapped and can show pixels (not InputOnly)."""
        x11, _ = cls.libs()
        with cls.connect(display) as dpy:
            root, parent = ctypes.c_ulong(), ctypes.c_ulong()
            children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
            if not x11.XQueryTree(dpy, x11.XRootWindow(dpy, x11.XDefaultScreen(dpy)),
                                  ctypes.byref(root), ctypes.byref(parent),
                                  ctypes.byref(children), ctypes.byref(count)):
                raise HarnessError("XQueryTree failed")
            try:
                ids = [children[i] for i in range(count.value)]
            finally:
                if children:
                    x11.XFree(children)
            shown = []
            for wid in ids:
                attributes = _XWindowAttributes()
                del _x_errors[:]
                # A window destroyed meanwhile gives BadWindow (recorded, not fatal) and 0.
                if (x11.XGetWindowAttributes(dpy, wid, ctypes.byref(attributes))
                        and attributes.map_state == 2 and attributes.class_ == 1):
                    shown.append(wid)  # IsViewable, InputOutput
            return shown

    @classmethod
    def cursor_image(cls, display: str) -> CursorImage:
        x11, xfixes = cls.libs()
        with cls.connect(display) as dpy:
            ev, er, major, minor = (ctypes.c_int() for _ in range(4))
            if not xfixes.XFixesQueryExtension(dpy, ctypes.byref(ev), ctypes.byref(er)):
                raise HarnessError("the X server has no XFixes extension")
            major.value, minor.value = 6, 0  # the version this client speaks
            xfixes.XFixesQueryVersion(dpy, ctypes.byref(major), ctypes.byref(minor))
            ptr = xfixes.XFixesGetCursorImage(dpy)
            if not ptr:
                raise HarnessError("XFixesGetCursorImage failed")
            try:
                c = ptr.contents
                n = c.width * c.height
                pixels = [c.pixels[i] & 0xFFFFFFFF for i in range(n)]
                return CursorImage(c.width, c.height, (c.xhot, c.yhot), (c.x, c.y), pixels)
            finally:
                x11.XFree(ptr)


# ---------------------------------------------------------------------------------------------
# The display

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
                _register(self, self.stop)
                return
        raise HarnessError(f"no free display among :{self._displays[0]}..:{self._displays[-1]}")

    @staticmethod
    def _display_taken(number: int) -> bool:
        # A lock whose process is gone is stale (a killed Xvfb): Xvfb itself replaces it.
        try:
            pid = int(Path(f"/tmp/.X{number}-lock").read_text().strip())
        except (OSError, ValueError):
            return Path(f"/tmp/.X11-unix/X{number}").exists()
        return _process_start_time(pid) is not None

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
                pass_fds=(write_fd,), preexec_fn=_die_with_parent)
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
        _stop_process(proc)
        return False

    def stop(self) -> None:
        _unregister(self)
        if self.proc is not None:
            _stop_process(self.proc, signal.SIGTERM)
            self.proc = None

    @property
    def env(self) -> dict:
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("XAUTHORITY", None)
        return env

    @property
    def size(self) -> tuple:
        return _Xlib.screen_size(self.display)

    # -- xdotool

    def xdotool(self, *args: str, timeout: float = 10, check: bool = True) -> str:
        done = _run(["xdotool", *map(str, args)], env=self.env, timeout=timeout, check=check)
        return done.stdout.decode(errors="replace")

    def key(self, *names: str) -> None:
        """Presses and releases each key in turn (xdotool key names: a, Escape, Return, shift+a)."""
        self.xdotool("key", *names)

    def key_down(self, name: str) -> None:
        self.xdotool("keydown", name)

    def key_up(self, name: str) -> None:
        self.xdotool("keyup", name)

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
                    alive: Callable[[], bool] | None = None) -> str:
        """The first window whose name matches, polled every 50 ms. `alive` (e.g. a process's
        is_running) ends the wait early when it turns false."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.search(name_regex, only_visible)
            if found:
                return found[0]
            if alive is not None and not alive():
                raise HarnessError(f"the program ended before a window {name_regex!r} appeared")
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
        return {str(wid) for wid in _Xlib.shown_top_level_windows(self.display)}

    # -- the screen

    def capture(self, region: Region | None = None) -> Image:
        """The screen (or a region of it) as an Image, read straight from the X server."""
        return _Xlib.capture(self.display, region)

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
        return _Xlib.cursor_image(self.display)

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
                    _register(self, self.stop)
                    return
        except BaseException:
            self.host.stop()
            raise
        self.host.stop()
        raise HarnessError(f"no free display among :{self._displays[0]}..:{self._displays[-1]}")

    def stop(self) -> None:
        super().stop()
        self.host.stop()


def _stop_process(proc: subprocess.Popen, sig: int = signal.SIGKILL, timeout: float = 5) -> None:
    """Stops one process we started, by its PID (and its own process group when it has one)."""
    if proc.poll() is not None:
        return
    with contextlib.suppress(ProcessLookupError, PermissionError):
        if os.getpgid(proc.pid) == proc.pid:
            os.killpg(proc.pid, sig)
        else:
            os.kill(proc.pid, sig)
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        with contextlib.suppress(ProcessLookupError):
            os.kill(proc.pid, signal.SIGKILL)
        proc.wait(timeout)


# ---------------------------------------------------------------------------------------------
# The Wine prefix

_HIVES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT",
          "HKU": "HKEY_USERS", "HKCC": "HKEY_CURRENT_CONFIG"}


def _long_key(key: str) -> str:
    hive, _, rest = key.partition("\\")
    hive = _HIVES.get(hive.upper(), hive)
    return hive + ("\\" + rest if rest else "")


def _reg_escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


def _hex_list(data: bytes) -> str:
    return ",".join(f"{b:02x}" for b in data)


def _reg_value_text(value) -> str:
    """One value's right-hand side in a .reg file: str, int (DWORD), bytes, list of str."""
    if isinstance(value, bool) or value is None:
        raise TypeError("registry values are str, int, bytes or a list of str")
    if isinstance(value, int):
        return f"dword:{value & 0xFFFFFFFF:08x}"
    if isinstance(value, (bytes, bytearray)):
        return "hex:" + _hex_list(bytes(value))
    if isinstance(value, list):
        return "hex(7):" + _hex_list(("\0".join(value) + "\0\0").encode("utf-16-le"))
    if any(c in value for c in "\r\n\0"):  # not representable between quotes
        return "hex(1):" + _hex_list((value + "\0").encode("utf-16-le"))
    return f'"{_reg_escape(value)}"'


def _reg_unescape(text: str) -> str:
    out, i = [], 0
    escapes = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "0": "\0", "t": "\t"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append(escapes.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _parse_reg_data(data: str):
    if data.startswith('"'):
        return _reg_unescape(data[1:-1] if data.endswith('"') else data[1:])
    if data.startswith("dword:"):
        return int(data[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", data, re.S)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else 3
        raw = bytes(int(h, 16) for h in re.findall(r"[0-9a-fA-F]{2}", m.group(2)))
        if kind in (1, 2):
            return raw.decode("utf-16-le").split("\0", 1)[0]
        if kind == 7:
            return [s for s in raw.decode("utf-16-le").split("\0") if s]
        if kind == 4:
            return struct.unpack("<I", raw[:4])[0]
        if kind == 11:
            return struct.unpack("<Q", raw[:8])[0]
        return raw
    return data


def parse_reg_file(text: str) -> dict:
    """{key (long hive name): {value name ("" for the default): value}} from a .reg export."""
    keys: dict[str, dict] = {}
    current = None
    lines = text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Hex data continues on the next line after a trailing backslash.
        while line.endswith("\\") and not line.rstrip().endswith('"') and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = keys.setdefault(line.strip()[1:-1], {})
            continue
        if current is None:
            continue
        if line.startswith("@="):
            current[""] = _parse_reg_data(line[2:])
            continue
        m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line, re.S)
        if m:
            current[_reg_unescape(m.group(1))] = _parse_reg_data(m.group(2))
    return keys


_PREFIX_DIR_PREFIX = "velloway-e2e-prefix-"


def _remove_stale_prefixes() -> None:
    """Removes prefix copies left by a harness that was killed (kill -9, a hard timeout): each
    copy is ~700 MB. Only copies whose owner process is gone are touched."""
    for tmp in Path(tempfile.gettempdir()).glob(_PREFIX_DIR_PREFIX + "*"):
        try:
            tag = (tmp / "owner").read_text()
        except OSError:
            # Owner not written yet (being made right now) or unreadable: leave young ones.
            if time.time() - tmp.stat().st_mtime < 600:
                continue
            tag = ""
        if _owner_alive(tag):
            continue
        prefix = tmp / "prefix"
        if prefix.is_dir():
            env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all")
            _run(["wineserver", "-k"], env=env, timeout=20, check=False)
            server_dir = _server_tmp_dir(prefix)
            if server_dir is not None:
                shutil.rmtree(server_dir, ignore_errors=True)
        shutil.rmtree(tmp, ignore_errors=True)


def _server_tmp_dir(prefix: Path) -> Path | None:
    """The /tmp directory Debian's Wine made for this prefix's server (named in the prefix)."""
    with contextlib.suppress(OSError):
        name = (prefix / "wineserver").read_text().strip()
        if re.fullmatch(r"wine-[A-Za-z0-9]+", name):
            return Path(tempfile.gettempdir()) / name
    return None


class WinePrefix:
    """A private copy of the project's ready Wine prefix, with its own persistent wineserver.
    Use as a context manager; on exit every program in it is stopped and the copy removed."""

    def __init__(self, desktop: Desktop | None = None, source: Union[str, Path, None] = None,
                 keep: bool = False):
        self.desktop = desktop
        self.source = Path(source or os.environ.get("VELLOWAY_WINEPREFIX")
                           or REPO / "build" / "wine-prefix")
        self.keep = keep
        # Read at each program start: a SoundCapture's configuration records what is played.
        self.alsa_config = REPO / "scripts" / "alsa-null.conf"
        self.tmp: Path | None = None
        self.path: Path | None = None
        self.processes: list[WineProcess] = []

    def __enter__(self) -> "WinePrefix":
        self.start()
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def start(self) -> None:
        if self.path is not None:
            return
        # Makes the project prefix once (it takes a lock, so parallel callers are safe).
        env = dict(os.environ, VELLOWAY_WINEPREFIX=str(self.source))
        env.pop("DISPLAY", None)
        _run([str(REPO / "scripts" / "wine-prefix")], env=env, timeout=600)
        _remove_stale_prefixes()
        self.tmp = Path(tempfile.mkdtemp(prefix=_PREFIX_DIR_PREFIX))
        (self.tmp / "owner").write_text(_owner_tag())
        _register(self, self.close)
        self.path = self.tmp / "prefix"
        _run(["cp", "-a", str(self.source), str(self.path)], timeout=120)
        # The copied file names the source's server directory in /tmp; without it this prefix
        # gets a directory of its own, which close() can remove.
        (self.path / "wineserver").unlink(missing_ok=True)
        self.logs = self.tmp / "logs"
        self.logs.mkdir()
        self._start_server()

    @property
    def env(self) -> dict:
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=",
                   ALSA_CONFIG_PATH=str(self.alsa_config))
        env.pop("WINESERVER", None)
        if self.desktop is not None and self.desktop.display:
            env["DISPLAY"] = self.desktop.display
            env.pop("XAUTHORITY", None)
        else:
            env.pop("DISPLAY", None)
        return env

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def windows_path(self, unix: Union[str, Path]) -> str:
        """C:\\... for a path inside drive_c, else Z:\\... (Wine maps / to Z:)."""
        unix = Path(unix).resolve()
        try:
            rest = unix.relative_to(self.drive_c.resolve())
            return "C:\\" + "\\".join(rest.parts)
        except ValueError:
            return "Z:" + str(unix).replace("/", "\\")

    def unix_path(self, windows: str) -> Path:
        drive, _, rest = windows.partition(":")
        parts = [p for p in re.split(r"[\\/]", rest) if p]
        if drive.upper() == "C":
            return self.drive_c.joinpath(*parts)
        if drive.upper() == "Z":
            return Path("/").joinpath(*parts)
        raise ValueError(f"no mapping for drive {drive}:")

    # -- running things

    def wine(self, *args: str, timeout: float = 30, check: bool = True,
             cwd: Union[str, Path, None] = None) -> subprocess.CompletedProcess:
        """Runs `wine args...` to completion."""
        # Files, not pipes: Wine's helper processes (services, explorer) inherit them and
        # outlive the command.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                proc = subprocess.run(["wine", *map(str, args)], env=self.env, cwd=cwd,
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                      timeout=timeout, preexec_fn=_die_with_parent)
            except subprocess.TimeoutExpired as e:
                raise HarnessError(f"wine {args} did not finish within {timeout:g} s") from e
            out.seek(0)
            err.seek(0)
            done = subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())
        if check and done.returncode != 0:
            raise HarnessError(f"wine {list(args)} exited {done.returncode}: "
                               f"{done.stderr.decode(errors='replace').strip()}")
        return done

    def start_program(self, program: Union[str, Path], *args: str,
                      cwd: Union[str, Path, None] = None) -> "WineProcess":
        """Starts `wine program args...` without waiting. The working directory defaults to
        system32, where Windows starts screen savers."""
        cwd = Path(cwd) if cwd else self.drive_c / "windows" / "system32"
        n = len(self.processes)
        out = open(self.logs / f"process{n}.stdout", "wb")
        err = open(self.logs / f"process{n}.stderr", "wb")
        try:
            proc = subprocess.Popen(["wine", str(program), *map(str, args)], env=self.env,
                                    cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    start_new_session=True, preexec_fn=_die_with_parent)
        finally:
            out.close()
            err.close()
        process = WineProcess(self, proc, [str(program), *map(str, args)],
                              self.logs / f"process{n}.stdout", self.logs / f"process{n}.stderr")
        self.processes.append(process)
        return process

    def kill_all(self, timeout: float = 20) -> None:
        """Every program in this prefix stopped, and its wineserver too."""
        for process in self.processes:
            process.kill()
        if self.path is not None and self.path.exists():
            _run(["wineserver", "-k"], env=self.env, timeout=timeout, check=False)
            _run(["wineserver", "-w"], env=self.env, timeout=timeout, check=False)

    def restart_server(self) -> None:
        """After kill_all: a persistent server again, so later starts stay fast."""
        self._start_server()

    def _start_server(self) -> None:
        # Persistent for speed; the 60 s limit ends it by itself should cleanup never run.
        # No pipes: the server forks into the background and would keep them open.
        try:
            subprocess.run(["wineserver", "-p60"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30,
                           check=True)
        except (subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
            raise HarnessError(f"wineserver -p60 failed: {e}") from e

    def close(self) -> None:
        _unregister(self)
        if self.path is None:
            return
        try:
            self.kill_all()
        finally:
            server_dir = _server_tmp_dir(self.path)
            if not self.keep and self.tmp is not None:
                shutil.rmtree(self.tmp, ignore_errors=True)
            if server_dir is not None:
                shutil.rmtree(server_dir, ignore_errors=True)
            self.path = None

    # -- the registry

    def reg_import(self, keys: dict) -> None:
        """Writes {key: {name: value}} exactly (any text) through a UTF-16 .reg file.
        Values: str (REG_SZ), int (REG_DWORD), bytes (REG_BINARY), list of str (REG_MULTI_SZ);
        None deletes the value."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in keys.items():
            lines.append(f"[{_long_key(key)}]")
            for name, value in values.items():
                left = "@" if name == "" else f'"{_reg_escape(name)}"'
                lines.append(f"{left}=" + ("-" if value is None else _reg_value_text(value)))
            lines.append("")
        path = self.logs / f"import-{time.monotonic_ns()}.reg"
        path.write_bytes(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))
        try:
            self.wine("reg", "import", self.windows_path(path))
        finally:
            path.unlink(missing_ok=True)

    def reg_set(self, key: str, name: str, value) -> None:
        """Sets one value (see reg_import for the types)."""
        self.reg_import({key: {name: value}})

    def reg_add(self, key: str, name: str, data: str, kind: str = "REG_SZ") -> None:
        """`wine reg add` (ASCII text only: Wine's command line does not carry other text
        exactly; use reg_set for that)."""
        self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")

    def set_dpi(self, dpi: int) -> None:
        """The DPI that programs started from now on see (96, 120, 144, 192 ...; 96 is the
        default)."""
        self.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", str(dpi), "REG_DWORD")

    def reg_values(self, key: str) -> dict | None:
        """{name: value} of one key exactly as stored (via `wine reg export`), or None when the
        key does not exist."""
        path = self.logs / f"export-{time.monotonic_ns()}.reg"
        try:
            done = self.wine("reg", "export", key, self.windows_path(path), "/y", check=False)
            if done.returncode != 0 or not path.exists():
                return None
            raw = path.read_bytes()
        finally:
            path.unlink(missing_ok=True)
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode(
            "utf-8", errors="replace")
        return parse_reg_file(text).get(_long_key(key), {})

    def reg_get(self, key: str, name: str, default=None):
        values = self.reg_values(key)
        return default if values is None else values.get(name, default)

    def reg_delete(self, key: str, name: str | None = None) -> None:
        """Deletes one value, or the whole key with its subkeys; missing ones are fine."""
        args = ["reg", "delete", key] + (["/v", name] if name is not None else []) + ["/f"]
        self.wine(*args, check=False)


class WineProcess:
    """One program started in a WinePrefix. Its PID is the Wine process running the program."""

    def __init__(self, prefix: WinePrefix, popen: subprocess.Popen, argv: list,
                 stdout_path: Path, stderr_path: Path):
        self.prefix, self.popen, self.argv = prefix, popen, argv
        self.stdout_path, self.stderr_path = stdout_path, stderr_path
        _register(self, self.kill)

    @property
    def pid(self) -> int:
        return self.popen.pid

    @property
    def returncode(self) -> int | None:
        return self.popen.poll()

    def is_running(self) -> bool:
        return self.popen.poll() is None

    def wait_exit(self, timeout: float = 10) -> int:
        """The exit status; HarnessError when the program is still running after timeout."""
        try:
            code = self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.argv[0]} still running after {timeout:g} s") from None
        _unregister(self)
        return code

    def kill(self) -> None:
        """Stops the program by its PID (and its process group)."""
        _stop_process(self.popen)
        _unregister(self)

    def output(self) -> tuple:
        """(stdout, stderr) so far, as text."""
        return (self.stdout_path.read_text(errors="replace"),
                self.stderr_path.read_text(errors="replace"))

    def memory_kib(self, field: str) -> int:
        """A memory figure of the program from /proc/<pid>/status ("VmRSS", "VmHWM", "RssAnon"),
        in KiB: `wine` execs into the program, so the PID is the program's."""
        with open(f"/proc/{self.pid}/status") as status:
            for entry in status:
                if entry.startswith(field + ":"):
                    return int(entry.split()[1])
        raise HarnessError(f"no {field} in /proc/{self.pid}/status")


# ---------------------------------------------------------------------------------------------
# Sound

class SoundCapture:
    """Records what a program plays: ALSA's file plugin in front of the null device writes every
    sample Wine sends to the default device into a WAV file (nothing is heard). Takes effect for
    programs started after prefix.alsa_config = capture.config."""

    def __init__(self, directory: Union[str, Path], name: str = "sound"):
        directory = Path(directory)
        directory.mkdir(parents=True, exist_ok=True)
        self.wav = directory / f"{name}.wav"
        self.config = directory / f"{name}.alsa.conf"
        self.wav.unlink(missing_ok=True)
        self.config.write_text(
            "pcm.!default {\n"
            "  type file\n"
            "  slave { pcm { type null } }\n"
            f"  file \"{self.wav}\"\n"
            "  format \"wav\"\n"
            "}\n"
            "ctl.!default { type hw card 0 }\n")

    @property
    def size(self) -> int:
        """Bytes written so far; 0 while nothing has opened the device."""
        try:
            return self.wav.stat().st_size
        except OSError:
            return 0

    def samples(self) -> tuple:
        """(sample rate, the first channel's samples scaled to -1..1) of what was played so far.
        The header's lengths are not trusted: the file may still be growing."""
        data = self.wav.read_bytes() if self.wav.exists() else b""
        fmt, pcm = None, None
        at = 12 if data[:4] == b"RIFF" and data[8:12] == b"WAVE" else len(data)
        while at + 8 <= len(data):
            kind, length = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
            if kind == b"fmt ":
                fmt = struct.unpack("<HHIIHH", data[at + 8:at + 24])
            elif kind == b"data":
                pcm = data[at + 8:]
                break
            at += 8 + length + (length & 1)
        if fmt is None or pcm is None:
            return 0, []
        tag, channels, rate, _, block, bits = fmt
        codes = {(1, 16): ("h", 32768.0), (1, 32): ("i", 2147483648.0), (3, 32): ("f", 1.0)}
        if (tag, bits) not in codes or block != channels * bits // 8:
            raise HarnessError(f"recorded sound in an unexpected format {fmt}")
        code, scale = codes[(tag, bits)]
        values = array.array(code)
        values.frombytes(pcm[:len(pcm) // block * block])
        return rate, [v / scale for v in values[::channels]]


# ---------------------------------------------------------------------------------------------
# The program directory

class ProgramDir:
    """A folder inside the prefix's drive C: (default C:\\Velloway) holding the program and its
    files. Methods return (Windows path, Unix path)."""

    def __init__(self, prefix: WinePrefix, name: str = "Velloway"):
        self.prefix = prefix
        self.unix = prefix.drive_c / name
        # Empty, whatever an earlier use of the prefix left there.
        shutil.rmtree(self.unix, ignore_errors=True)
        self.unix.mkdir(parents=True)
        self.windows = prefix.windows_path(self.unix)

    def windows_path(self, name: str) -> str:
        return self.windows + "\\" + name

    def unix_path(self, name: str) -> Path:
        return self.unix / name

    def install(self, program: Union[str, Path], name: str | None = None) -> tuple:
        program = Path(program)
        target = self.unix / (name or program.name)
        shutil.copy2(program, target)
        return self.windows_path(target.name), target

    def write(self, name: str, content: Union[bytes, str], encoding: str = "utf-8") -> tuple:
        """Writes a file; text is encoded as given ("utf-8-sig", "utf-16" with BOM, "cp932"...)."""
        data = content if isinstance(content, bytes) else content.encode(encoding)
        target = self.unix / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        return self.windows_path(name), target

    def remove(self, name: str) -> None:
        (self.unix / name).unlink(missing_ok=True)


def script_text(*lines: Union[str, Sequence[str]], newline: str = "\r\n") -> str:
    """A script from lines; a line given as a sequence is joined with tabs. Each line ends in
    CR LF."""
    return "".join(("\t".join(line) if not isinstance(line, str) else line) + newline
                   for line in lines)


# ---------------------------------------------------------------------------------------------
# Velloway

SCR_ENV = "VELLOWAY_SCR"
MAIN_CAPTION = "MAIN -+- Velloway"
MAIN_CAPTION_RE = r"^MAIN -\+- Velloway$"  # xdotool takes a regular expression
SETTING_KEY = r"HKCU\Software\Velloway\Setting"
UPDATE_INFO_KEY = r"HKCU\Software\Velloway\UpdateInfo"
VELLOWAY_KEY = r"HKCU\Software\Velloway"


def program_from_env(name: str) -> Path:
    """The program an environment variable names; skips the test class when it is not set."""
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(f"{name} is not set (ctest sets it)")
    path = Path(value)
    if not path.is_file():
        raise HarnessError(f"{name}={path} does not exist")
    return path


OTHER_PROGRAM_ENV = "VELLOWAY_OTHER_PROGRAM"


def ask_other_program(prefix: WinePrefix, program: Path, *request: str) -> list[str]:
    """Runs other_program.exe (tests/e2e/other_program) with one request; its answer lines."""
    done = prefix.wine(str(program), *request, check=False)
    lines = done.stdout.decode(errors="replace").splitlines()
    if done.returncode != 0 or not lines:
        raise HarnessError(f"other_program {list(request)} exited {done.returncode}: {lines}")
    return lines


def artifacts_dir() -> Path:
    """Where tests leave screenshots (VELLOWAY_E2E_ARTIFACTS, else /tmp/velloway-e2e-artifacts)."""
    path = Path(os.environ.get("VELLOWAY_E2E_ARTIFACTS")
                or Path(tempfile.gettempdir()) / "velloway-e2e-artifacts")
    path.mkdir(parents=True, exist_ok=True)
    return path


class VellowayTestCase(unittest.TestCase):
    """One display and one prefix with velloway.scr installed in C:\\Velloway for all tests of
    a class; each test starts the program with start() and it is stopped after the test.
    Skips when VELLOWAY_SCR is not set."""

    SCREEN = (1920, 1080)
    # When set, an XephyrDesktop of these monitors instead of Xvfb's one SCREEN.
    MONITORS: tuple = ()
    desktop: Desktop
    prefix: WinePrefix
    program_dir: ProgramDir
    scr_windows: str

    @classmethod
    def setUpClass(cls) -> None:
        scr = program_from_env(SCR_ENV)
        stack = contextlib.ExitStack()
        cls.addClassCleanup(stack.close)
        cls.desktop = stack.enter_context(
            XephyrDesktop(*cls.MONITORS) if cls.MONITORS else Desktop(*cls.SCREEN))
        cls.prefix = stack.enter_context(WinePrefix(cls.desktop))
        cls.program_dir = ProgramDir(cls.prefix)
        cls.scr_windows, _ = cls.program_dir.install(scr, "velloway.scr")

    def start(self, *args: str) -> WineProcess:
        process = self.prefix.start_program(self.scr_windows, *args)
        self.addCleanup(self.stop, process)
        return process

    def stop(self, process: WineProcess) -> None:
        process.kill()
        try:
            self.desktop.wait_no_window(MAIN_CAPTION_RE, timeout=5)
        except HarnessError:  # a window left behind: take the whole prefix down
            self.prefix.kill_all()
            self.prefix.restart_server()

    def artifact(self, name: str) -> Path:
        return artifacts_dir() / f"{self.id().rsplit('.', 2)[-2]}.{self._testMethodName}.{name}"

    def set_script(self, file_name: str, content: Union[str, bytes, None],
                   encoding: str = "utf-8") -> str:
        """Chooses a script in the setting and writes it (content None: no file at all).
        Returns the script's full Windows path."""
        self.prefix.reg_set(SETTING_KEY, "ScriptFileName", file_name)
        if content is None:
            self.program_dir.remove(file_name)
        else:
            self.program_dir.write(file_name, content, encoding)
        return self.program_dir.windows_path(file_name)
